"""The installer's wizard: its dialog tables, written into the package after wixl (which
writes no user interface) by SQL statements that mkmsi.py runs with msibuild.

Pages: welcome (product, version, publisher), the folder it goes to (the user's own, or the
machine's when ALLUSERS=1 was given), progress, and the end, whose ticked box starts the
installed program. A cancel question, and the pages after a cancel or a failure. Texts are
Czech; msibuild stores them in the package's code page (1250).
"""
from __future__ import annotations

# Dialog size in installer units, as the system's own wizards have it.
WIDTH, HEIGHT = 370, 270
BUTTON_Y = 243

SCHEMA = {
    "Dialog": ("`Dialog` CHAR(72) NOT NULL, `HCentering` SHORT NOT NULL, `VCentering` SHORT NOT NULL, "
               "`Width` SHORT NOT NULL, `Height` SHORT NOT NULL, `Attributes` LONG, "
               "`Title` CHAR(128) LOCALIZABLE, `Control_First` CHAR(50) NOT NULL, `Control_Default` CHAR(50), "
               "`Control_Cancel` CHAR(50) PRIMARY KEY `Dialog`"),
    "Control": ("`Dialog_` CHAR(72) NOT NULL, `Control` CHAR(50) NOT NULL, `Type` CHAR(20) NOT NULL, "
                "`X` SHORT NOT NULL, `Y` SHORT NOT NULL, `Width` SHORT NOT NULL, `Height` SHORT NOT NULL, "
                "`Attributes` LONG, `Property` CHAR(72), `Text` LONGCHAR LOCALIZABLE, `Control_Next` CHAR(50), "
                "`Help` CHAR(50) LOCALIZABLE PRIMARY KEY `Dialog_`, `Control`"),
    "ControlEvent": ("`Dialog_` CHAR(72) NOT NULL, `Control_` CHAR(50) NOT NULL, `Event` CHAR(50) NOT NULL, "
                     "`Argument` CHAR(255) NOT NULL, `Condition` CHAR(255), `Ordering` SHORT "
                     "PRIMARY KEY `Dialog_`, `Control_`, `Event`, `Argument`, `Condition`"),
    "ControlCondition": ("`Dialog_` CHAR(72) NOT NULL, `Control_` CHAR(50) NOT NULL, `Action` CHAR(50) NOT NULL, "
                         "`Condition` CHAR(255) NOT NULL PRIMARY KEY `Dialog_`, `Control_`, `Action`, `Condition`"),
    "EventMapping": ("`Dialog_` CHAR(72) NOT NULL, `Control_` CHAR(50) NOT NULL, `Event` CHAR(50) NOT NULL, "
                     "`Attribute` CHAR(50) NOT NULL PRIMARY KEY `Dialog_`, `Control_`, `Event`"),
    "TextStyle": ("`TextStyle` CHAR(72) NOT NULL, `FaceName` CHAR(32) NOT NULL, `Size` SHORT NOT NULL, "
                  "`Color` LONG, `StyleBits` SHORT PRIMARY KEY `TextStyle`"),
    "CheckBox": "`Property` CHAR(72) NOT NULL, `Value` CHAR(64) PRIMARY KEY `Property`",
    "ActionText": ("`Action` CHAR(72) NOT NULL, `Description` LONGCHAR LOCALIZABLE, "
                   "`Template` LONGCHAR LOCALIZABLE PRIMARY KEY `Action`"),
}

# Attribute bits of dialogs and controls.
VISIBLE, MODAL = 1, 2
ENABLED, SUNKEN = 2, 4
TRANSPARENT, NOPREFIX = 0x10000, 0x20000
PROGRESS95 = 0x10000
TEXT = VISIBLE | ENABLED | TRANSPARENT | NOPREFIX
SHOWN = VISIBLE | ENABLED
GREYED = VISIBLE

PRODUCT = "e-VESK vizedu"
TITLE_STYLE, TEXT_STYLE = "EveskTitle", "EveskText"
TEXT_STYLES = [  # (name, face, points, bold)
    (TEXT_STYLE, "MS Sans Serif", 8, 0),
    (TITLE_STYLE, "MS Sans Serif", 12, 1),
]

# The installed program, started from the last page: normally, as from the Start menu (no
# -auto); asynchronous, and its exit code is none of the installer's business.
LAUNCH_ACTION = "StartInstalledProgram"
LAUNCH_TYPE = 18 + 64 + 128  # an installed file run as an exe; ignore its result; do not wait
LAUNCH_PROPERTY = "SPUSTIT"  # ticked (1) unless the reader clears the box
INSTALLING = "NOT Installed AND NOT REMOVE"


def title(text: str) -> str:
    return "{\\" + TITLE_STYLE + "}" + text


class Page:
    """One dialog with its controls in tab order, their events and conditions."""

    def __init__(self, name: str, caption: str, width: int = WIDTH, height: int = HEIGHT,
                 attributes: int = VISIBLE | MODAL):
        self.name, self.caption, self.width, self.height, self.attributes = name, caption, width, height, attributes
        self.controls: list[dict] = []
        self.events: list[tuple] = []
        self.conditions: list[tuple] = []
        self.mappings: list[tuple] = []
        self.default = self.cancel = None

    def add(self, control: str, kind: str, x: int, y: int, w: int, h: int, attributes: int,
            text: str | None = None, prop: str | None = None, tab: bool = False) -> "Page":
        self.controls.append(dict(Control=control, Type=kind, X=x, Y=y, Width=w, Height=h, Attributes=attributes,
                                  Text=text, Property=prop, tab=tab))
        return self

    def text(self, control: str, y: int, h: int, text: str, x: int = 20, w: int = 330) -> "Page":
        return self.add(control, "Text", x, y, w, h, TEXT, text)

    def button(self, control: str, x: int, text: str, attributes: int = SHOWN) -> "Page":
        return self.add(control, "PushButton", x, BUTTON_Y, 56, 17, attributes, text, tab=bool(attributes & ENABLED))

    def on(self, control: str, event: str, argument: str, condition: str = "1", order: int = 1) -> "Page":
        self.events.append((control, event, argument, condition, order))
        return self

    def when(self, control: str, action: str, condition: str) -> "Page":
        self.conditions.append((control, action, condition))
        return self

    def wizard_frame(self, heading: str, back: str | None, next_text: str, next_on: bool = True,
                     cancel: bool = True) -> "Page":
        """The heading, the line above the buttons and the three buttons of a wizard page."""
        self.add("Heading", "Text", 20, 15, 330, 30, TEXT, title(heading))
        self.add("BottomLine", "Line", 0, BUTTON_Y - 9, self.width, 0, VISIBLE)
        self.button("Back", 180, "< &Zpět", SHOWN if back else GREYED)
        self.button("Next", 236, next_text, SHOWN if next_on else GREYED)
        self.button("Cancel", 304, "Storno", SHOWN if cancel else GREYED)
        if back:
            self.on("Back", "NewDialog", back)
        if cancel:
            self.on("Cancel", "SpawnDialog", "CancelDlg")
        self.default = "Next" if next_on else None
        self.cancel = "Cancel"
        return self


def pages() -> list[Page]:
    welcome = Page("WelcomeDlg", f"Instalace {PRODUCT}").wizard_frame(
        f"Vítá vás průvodce instalací {PRODUCT}", None, "&Další >")
    welcome.text("Product", 55, 25, f"Průvodce nainstaluje do tohoto počítače program {PRODUCT} "
                                     "verze [ProductVersion] od společnosti [Manufacturer].")
    welcome.text("About", 90, 40, f"{PRODUCT} hlídá v oznamovací oblasti (vedle hodin na hlavním panelu) "
                                  "novinky služby e-VESK v oborech, které si vyberete, a upozorní na ně bublinou.")
    welcome.text("Go", 140, 25, "Pokračujte tlačítkem Další, nebo instalaci ukončete tlačítkem Storno.")
    welcome.on("Next", "NewDialog", "FolderDlg")

    folder = Page("FolderDlg", f"Instalace {PRODUCT}").wizard_frame(
        "Kam se program nainstaluje", "WelcomeDlg", "&Instalovat")
    folder.text("ForUser", 55, 25, "Program se nainstaluje jen pro váš uživatelský účet (oprávnění správce "
                                   "nejsou potřeba), do složky:")
    folder.text("ForAll", 55, 25, "Program se nainstaluje pro všechny uživatele tohoto počítače, do složky:")
    folder.add("Folder", "Text", 20, 82, 330, 15, VISIBLE | ENABLED | SUNKEN | NOPREFIX, "[INSTALLDIR]")
    folder.text("Menu", 110, 30, f"V nabídce Start přibude položka {PRODUCT} a program se objeví v seznamu "
                                 "nainstalovaných programů, odkud jej lze kdykoli odebrat.")
    folder.text("Admin", 150, 40, "Správce počítače může program nainstalovat pro všechny uživatele: "
                                  "příkazem msiexec /i s názvem tohoto balíčku a ALLUSERS=1.")
    folder.text("Go", 200, 20, "Instalaci spustíte tlačítkem Instalovat.")
    folder.when("ForUser", "Hide", "ALLUSERS").when("ForAll", "Show", "ALLUSERS")
    folder.when("ForAll", "Hide", "NOT ALLUSERS").when("Admin", "Hide", "ALLUSERS")
    folder.on("Next", "EndDialog", "Return")

    progress = Page("ProgressDlg", f"Instalace {PRODUCT}", attributes=VISIBLE).wizard_frame(
        f"Instaluje se {PRODUCT}", None, "&Další >", next_on=False)
    progress.add("HeadingRemove", "Text", 20, 15, 330, 30, TEXT, title(f"Odebírá se {PRODUCT}"))
    progress.text("Wait", 55, 25, f"Počkejte prosím, než průvodce dokončí svou práci. Může to trvat "
                                  "několik okamžiků.")
    progress.text("StatusLabel", 95, 12, "Stav:", w=40)
    progress.add("ActionText", "Text", 60, 95, 290, 12, TEXT)
    progress.add("Progress", "ProgressBar", 20, 115, 330, 12, VISIBLE | PROGRESS95, "Průběh")
    progress.mappings += [("ActionText", "ActionText", "Text"), ("Progress", "SetProgress", "Progress")]
    progress.when("Heading", "Hide", 'REMOVE="ALL"').when("HeadingRemove", "Hide", 'NOT REMOVE="ALL"')
    progress.default = None  # Enter must not cancel a running install

    done = Page("ExitDlg", f"Instalace {PRODUCT}").wizard_frame(
        f"Instalace {PRODUCT} je dokončena", None, "&Dokončit", cancel=False)
    done.add("HeadingRemove", "Text", 20, 15, 330, 30, TEXT, title(f"{PRODUCT} byl odebrán"))
    done.text("Installed", 55, 40, f"Program {PRODUCT} je nainstalován a najdete jej v nabídce Start. "
                                   "Po spuštění se usadí v oznamovací oblasti; v jeho okně si vyberete "
                                   "obory, které chcete sledovat.")
    done.text("Removed", 55, 40, f"Program {PRODUCT} byl z tohoto počítače odebrán. Vaše volba oborů "
                                 "zůstala uložena pro případnou další instalaci.")
    done.add("Launch", "CheckBox", 20, 110, 330, 17, SHOWN, f"&Spustit {PRODUCT}", LAUNCH_PROPERTY, tab=True)
    done.on("Next", "DoAction", LAUNCH_ACTION, f"{LAUNCH_PROPERTY}=1 AND {INSTALLING}", 1)
    done.on("Next", "EndDialog", "Return", "1", 2)
    done.when("Heading", "Hide", "REMOVE").when("HeadingRemove", "Hide", "NOT REMOVE")
    done.when("Installed", "Hide", "REMOVE").when("Removed", "Hide", "NOT REMOVE")
    done.when("Launch", "Hide", f"NOT ({INSTALLING})")
    done.cancel = "Next"

    stopped = Page("UserExitDlg", f"Instalace {PRODUCT}").wizard_frame(
        "Instalace byla přerušena", None, "&Dokončit", cancel=False)
    stopped.text("Why", 55, 40, f"Instalace programu {PRODUCT} byla přerušena. Počítač zůstal beze změny; "
                                "instalaci můžete kdykoli spustit znovu.")
    stopped.on("Next", "EndDialog", "Exit")
    stopped.cancel = "Next"

    failed = Page("FatalErrorDlg", f"Instalace {PRODUCT}").wizard_frame(
        "Instalace se nezdařila", None, "&Dokončit", cancel=False)
    failed.text("Why", 55, 40, f"Instalace programu {PRODUCT} skončila předčasně kvůli chybě, o které vás "
                               "průvodce zpravil. Počítač zůstal beze změny.")
    failed.on("Next", "EndDialog", "Exit")
    failed.cancel = "Next"

    ask = Page("CancelDlg", f"Instalace {PRODUCT}", width=260, height=85)
    ask.add("Question", "Text", 20, 15, 220, 30, TEXT, f"Opravdu chcete instalaci {PRODUCT} přerušit?")
    ask.add("Yes", "PushButton", 72, 57, 56, 17, SHOWN, "&Ano", tab=True)
    ask.add("No", "PushButton", 132, 57, 56, 17, SHOWN, "&Ne", tab=True)
    ask.on("Yes", "EndDialog", "Exit").on("No", "EndDialog", "Return")
    ask.default = ask.cancel = "No"
    return [welcome, folder, progress, done, stopped, failed, ask]


# Where the pages stand in the user-interface sequence: the first two only for a new install;
# progress also for a removal with the full interface; the negative numbers are the ends.
SEQUENCE = [("WelcomeDlg", "NOT Installed", 1230), ("ProgressDlg", None, 1280),
            ("ExitDlg", None, -1), ("UserExitDlg", None, -2), ("FatalErrorDlg", None, -3)]

# What the progress page says while each step runs.
ACTION_TEXTS = {
    "InstallValidate": "Ověřuje se instalace",
    "InstallInitialize": "Připravuje se instalace",
    "RemoveExistingProducts": "Odebírá se starší verze",
    "EndRunningCopy": f"Ukončuje se spuštěný {PRODUCT}",
    "EndAndForget": f"Ukončuje se spuštěný {PRODUCT}",
    "ProcessComponents": "Registrují se součásti",
    "UnpublishFeatures": "Ruší se registrace funkcí",
    "RemoveRegistryValues": "Odebírají se údaje z registru",
    "RemoveShortcuts": "Odebírají se zástupci",
    "RemoveFiles": "Odebírají se soubory",
    "RemoveFolders": "Odebírají se složky",
    "CreateFolders": "Vytvářejí se složky",
    "InstallFiles": "Kopírují se soubory",
    "CreateShortcuts": "Vytvářejí se zástupci",
    "WriteRegistryValues": "Zapisují se údaje do registru",
    "RegisterUser": "Registruje se uživatel",
    "RegisterProduct": "Registruje se program",
    "PublishFeatures": "Zveřejňují se funkce",
    "PublishProduct": "Zveřejňují se údaje o programu",
    "RestoreAutostart": "Obnovuje se automatické spouštění",
    "InstallFinalize": "Dokončuje se instalace",
}


def _quote(value: str) -> str:
    if "'" in value:
        raise ValueError(f"an apostrophe cannot stand in the installer's SQL: {value!r}")
    return f"'{value}'"


def insert(table: str, row: dict) -> str:
    """INSERT of ROW's non-empty columns (an absent column is null)."""
    cols = {k: v for k, v in row.items() if v is not None}
    values = ", ".join(str(v) if isinstance(v, int) else _quote(v) for v in cols.values())
    return f"INSERT INTO `{table}` ({', '.join(f'`{c}`' for c in cols)}) VALUES ({values})"


def statements() -> list[str]:
    """Every statement that adds the wizard to a package that wixl wrote."""
    out = [f"CREATE TABLE `{table}` ({columns})" for table, columns in SCHEMA.items()]
    for name, face, size, bold in TEXT_STYLES:
        out.append(insert("TextStyle", dict(TextStyle=name, FaceName=face, Size=size, StyleBits=bold)))
    out.append(insert("CheckBox", dict(Property=LAUNCH_PROPERTY, Value="1")))
    for page in pages():
        tab = [c["Control"] for c in page.controls if c["tab"]]
        first = page.default if page.default in tab else tab[0] if tab else page.controls[0]["Control"]
        out.append(insert("Dialog", dict(Dialog=page.name, HCentering=50, VCentering=50, Width=page.width,
                                         Height=page.height, Attributes=page.attributes, Title=page.caption,
                                         Control_First=first, Control_Default=page.default,
                                         Control_Cancel=page.cancel)))
        for control in page.controls:
            row = {k: v for k, v in control.items() if k != "tab"}
            if control["tab"] and len(tab) > 1:
                row["Control_Next"] = tab[(tab.index(control["Control"]) + 1) % len(tab)]
            out.append(insert("Control", dict(Dialog_=page.name, **row)))
        for control, event, argument, condition, order in page.events:
            out.append(insert("ControlEvent", dict(Dialog_=page.name, Control_=control, Event=event,
                                                   Argument=argument, Condition=condition, Ordering=order)))
        for control, action, condition in page.conditions:
            out.append(insert("ControlCondition", dict(Dialog_=page.name, Control_=control, Action=action,
                                                       Condition=condition)))
        for control, event, attribute in page.mappings:
            out.append(insert("EventMapping", dict(Dialog_=page.name, Control_=control, Event=event,
                                                   Attribute=attribute)))
    for dialog, condition, sequence in SEQUENCE:
        out.append(insert("InstallUISequence", dict(Action=dialog, Condition=condition, Sequence=sequence)))
    for action, text in ACTION_TEXTS.items():
        out.append(insert("ActionText", dict(Action=action, Description=text)))
    out.append(insert("CustomAction", dict(Action=LAUNCH_ACTION, Type=LAUNCH_TYPE, Source="evesk.exe")))
    out += [insert("Property", dict(Property=LAUNCH_PROPERTY, Value="1")),
            insert("Property", dict(Property="DefaultUIFont", Value=TEXT_STYLE))]
    return out
