"""What the end-to-end tests of the running program share: its texts and settings key, the
category mask, and a test case with one Wine session and one news service for its tests."""
import unittest

import harness
from fixture_server import FixtureServer, Reply

TITLE = "Dorlen e-VESK vizedu"
SETTINGS = r"\software\dorlen\evesk"
RUN = r"\software\microsoft\windows\currentversion\run"
CLOSE_QUESTION = "\rOpravdu chcete ukončit e-VESK Vizedua?"
NO_CHOICE = "Nemáte vybrané žádné kategorie ke sledování"
SENTENCE = "K dispozici jsou aktuální informace VESK ve Vašem oboru"
NEWS = ("!" + SENTENCE + "#1700000000").encode("cp1250")  # a reply with news up to this stamp
MASK = "1_0_1_" + "0_" * 20 + "1"  # categories 1, 3 and 24
STAMP = "1600000000"


def mask(*categories: int) -> str:
    return "_".join("1" if i in categories else "0" for i in range(1, 25))


class ProgramCase(unittest.TestCase):
    """One Wine session and one fixture news service (answering "ok") for all tests of a class."""

    @classmethod
    def setUpClass(cls):
        cls.wine = harness.session_from_config(deadline=600).__enter__()
        cls.addClassCleanup(cls.wine.close)
        cls.server = FixtureServer().start()
        cls.addClassCleanup(cls.server.stop)
        cls.server.default(Reply(body="ok"))

    def end_program(self, program):
        """Ends PROGRAM if it still runs; the next test must not meet its windows."""
        if program and program.running:
            program.kill()
            program.wait(10)
        self.wine.wait_for(lambda: not [w for w in self.wine.windows()
                                        if w.cls in ("TMainForm", "TMessageForm") or w.title == TITLE],
                           20, what="the program's windows to go")
