"""Writes a package's summary information (what Explorer shows in its properties) in the
package's code page 1250.

msibuild sets only the subject, author, template and revision, and leaves the title and
keywords English; libmsi, which it is built on, stores the bytes of a text as given. So the
texts go to libmsi through ctypes as code page 1250 bytes, which is what a reader of the
summary decodes with the code page that the summary names.
"""
from __future__ import annotations

import ctypes
from pathlib import Path

# Property identifiers of the summary information stream.
PROPERTIES = {"title": 2, "subject": 3, "author": 4, "keywords": 5, "comments": 6}
CODEPAGE = 1250
TRANSACT = 4  # open for changes, written by the commit


class GError(ctypes.Structure):
    _fields_ = [("domain", ctypes.c_uint32), ("code", ctypes.c_int), ("message", ctypes.c_char_p)]


def _library() -> ctypes.CDLL:
    msi = ctypes.CDLL("libmsi.so.0")
    err = ctypes.POINTER(ctypes.POINTER(GError))
    msi.libmsi_database_new.restype = ctypes.c_void_p
    msi.libmsi_database_new.argtypes = [ctypes.c_char_p, ctypes.c_uint, ctypes.c_char_p, err]
    msi.libmsi_summary_info_new.restype = ctypes.c_void_p
    msi.libmsi_summary_info_new.argtypes = [ctypes.c_void_p, ctypes.c_uint, err]
    msi.libmsi_summary_info_set_string.argtypes = [ctypes.c_void_p, ctypes.c_int, ctypes.c_char_p, err]
    msi.libmsi_summary_info_get_int.argtypes = [ctypes.c_void_p, ctypes.c_int, err]
    for name in ("libmsi_summary_info_set_string", "libmsi_summary_info_persist", "libmsi_database_commit"):
        getattr(msi, name).restype = ctypes.c_int
    msi.libmsi_summary_info_persist.argtypes = [ctypes.c_void_p, err]
    msi.libmsi_database_commit.argtypes = [ctypes.c_void_p, err]
    return msi


def write_czech(package: Path, texts: dict[str, str]) -> None:
    msi = _library()
    gobject = ctypes.CDLL("libgobject-2.0.so.0")
    gobject.g_object_unref.argtypes = [ctypes.c_void_p]
    error = ctypes.POINTER(GError)()

    def check(ok, what: str):
        if not ok:
            detail = error.contents.message.decode("utf-8", "replace") if error else "no detail"
            raise SystemExit(f"suminfo: {what} failed for {package}: {detail}")
        return ok

    db = check(msi.libmsi_database_new(str(package).encode(), TRANSACT, None, ctypes.byref(error)), "opening")
    try:
        info = check(msi.libmsi_summary_info_new(db, len(PROPERTIES) + 16, ctypes.byref(error)),
                     "reading the summary")
        try:
            page = msi.libmsi_summary_info_get_int(info, 1, None)
            if page != CODEPAGE:
                raise SystemExit(f"suminfo: {package} names code page {page}, not {CODEPAGE}")
            for name, text in texts.items():
                check(msi.libmsi_summary_info_set_string(info, PROPERTIES[name], text.encode("cp1250"),
                                                         ctypes.byref(error)), f"setting the {name}")
            check(msi.libmsi_summary_info_persist(info, ctypes.byref(error)), "writing the summary")
        finally:
            gobject.g_object_unref(info)
        check(msi.libmsi_database_commit(db, ctypes.byref(error)), "committing")
    finally:
        gobject.g_object_unref(db)
