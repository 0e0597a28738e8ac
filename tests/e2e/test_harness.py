"""Tests of the harness's readers of tool output (no Wine needed)."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import (Child, HarnessError, HarnessTimeout, RegValue, WineSession, Window,  # noqa: E402
                     parse_reg_export, parse_reg_query, reg_key_path)


class RegQueryOutputTest(unittest.TestCase):
    def test_values_with_blanks_tabs_empty_data_and_czech_text(self):
        # As `wine reg query` prints it: CRLF, four blanks around the type, OEM code page 852.
        output = ("\r\nHKEY_CURRENT_USER\\software\\dorlen\\evesk\r\n"
                  "    data    REG_SZ    1_0_1\r\n"
                  "    empty    REG_SZ    \r\n"
                  "    e-vesk vizedu    REG_SZ    \"C:\\a b\\evesk.exe\" -auto\r\n"
                  "    tab    REG_SZ    a\tb  \r\n"
                  "    num    REG_DWORD    0x5\r\n"
                  "    cz    REG_SZ    Příliš kůň\r\n\r\n").encode("cp852").decode("cp852")
        values = parse_reg_query(output)
        self.assertEqual(values["data"], RegValue("REG_SZ", "1_0_1"))
        self.assertEqual(values["empty"], RegValue("REG_SZ", ""))
        self.assertEqual(values["e-vesk vizedu"].data, '"C:\\a b\\evesk.exe" -auto')
        self.assertEqual(values["tab"].data, "a\tb  ")
        self.assertEqual(values["num"], RegValue("REG_DWORD", "0x5"))
        self.assertEqual(values["cz"].data, "Příliš kůň")

    def test_subkeys_of_a_recursive_listing_are_not_mixed_in(self):
        output = ("HKEY_CURRENT_USER\\a\r\n    x    REG_SZ    1\r\n\r\n"
                  "HKEY_CURRENT_USER\\a\\b\r\n    y    REG_SZ    2\r\n")
        self.assertEqual(set(parse_reg_query(output)), {"x"})

    def test_export_is_exact_and_limited_to_the_key(self):
        text = ("Windows Registry Editor Version 5.00\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Dorlen\\evesk]\r\n"
                "\"data\"=\"1_0\"\r\n"
                "\"q\"=\"say \\\"hi\\\" \\\\ there\"\r\n"
                "\"euro\"=\"a„b€c\"\r\n"
                "\"num\"=dword:0000002a\r\n"
                "\"exp\"=hex(2):25,00,41,00,25,00,00,00\r\n"
                "\"bin\"=hex:01,02,\\\r\n  03\r\n"
                "@=\"default\"\r\n\r\n"
                "[HKEY_CURRENT_USER\\Software\\Dorlen\\evesk\\sub]\r\n"
                "\"data\"=\"other\"\r\n")
        values = parse_reg_export(text, "HKEY_CURRENT_USER\\software\\dorlen\\evesk")
        self.assertEqual(values["data"].data, "1_0")
        self.assertEqual(values["q"].data, 'say "hi" \\ there')
        self.assertEqual(values["euro"].data, "a„b€c")
        self.assertEqual(values["num"], RegValue("REG_DWORD", "0x2a"))
        self.assertEqual(values["exp"], RegValue("REG_EXPAND_SZ", "%A%"))
        self.assertEqual(values["bin"], RegValue("REG_BINARY", "hex:01,02,03"))
        self.assertEqual(values[""].data, "default")
        self.assertEqual(len(values), 7)

    def test_key_paths(self):
        self.assertEqual(reg_key_path(r"\software\dorlen\evesk"), r"HKEY_CURRENT_USER\software\dorlen\evesk")
        self.assertEqual(reg_key_path(r"HKCU\software\x"), r"HKEY_CURRENT_USER\software\x")
        self.assertEqual(reg_key_path(r"HKLM\software\x"), r"HKLM\software\x")
        self.assertEqual(reg_key_path("software/x"), r"HKEY_CURRENT_USER\software\x")


class InspectorOutputTest(unittest.TestCase):
    def test_window_line(self):
        title = "Dorlen e-VESK vizedu"
        line = "\t".join(["0x10054", "260", "264", "1", "TMainForm", "544d61696e466f726d", "Dorlen\\te\\\\x",
                          "Příliš".encode("cp1250").hex(), "291", "134", "709", "565", "412", "406", "294", "156"])
        w = Window.parse(line)
        self.assertEqual((w.hwnd, w.handle, w.pid, w.visible, w.cls), (0x10054, "0x10054", 260, True, "TMainForm"))
        self.assertEqual(w.title, "Dorlen\te\\x")
        self.assertEqual(w.title_cp1250.decode("cp1250"), "Příliš")
        self.assertEqual((w.rect, w.client_size, w.client_origin), ((291, 134, 709, 565), (412, 406), (294, 156)))
        self.assertNotEqual(w.title, title)
        with self.assertRaises(HarnessError):
            Window.parse("0x1\t2\t3")

    def test_child_line(self):
        line = "\t".join(["0x10062", "0x10054", "1", "1", "0", "Button", "427574746f6e", "Uložit",
                          "556c6f9e6974", "20", "20", "100", "30", "314", "176"])
        c = Child.parse(line)
        self.assertEqual((c.parent, c.id, c.visible, c.enabled, c.text), (0x10054, 1, True, False, "Uložit"))
        self.assertEqual(c.text_cp1250, "Uložit".encode("cp1250"))
        self.assertEqual(c.centre, (364, 191))


class WaitTest(unittest.TestCase):
    def test_wait_returns_the_first_truthy_value_or_times_out_with_detail(self):
        answers = iter([None, 0, "found"])
        self.assertEqual(WineSession.wait_for(lambda: next(answers), timeout=5, interval=0.01), "found")
        with self.assertRaisesRegex(HarnessTimeout, "the door.*still shut"):
            WineSession.wait_for(lambda: False, timeout=0.05, interval=0.01, what="the door",
                                 on_timeout=lambda: "still shut")


if __name__ == "__main__":
    unittest.main()
