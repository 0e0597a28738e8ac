// Keeps the Windows library non-empty while every folder is still growing.
