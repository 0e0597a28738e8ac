#include <gtest/gtest.h>

#include "framework/FormReader.h"

using namespace evesk;

namespace {

std::vector<std::string> g_loadedOrder;

class TTestFont : public TPersistent {
 public:
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info{"TTestFont", nullptr, {},
                                 {Prop<TTestFont>::String("Name", &TTestFont::SetName),
                                  Prop<TTestFont>::Int("Height", &TTestFont::SetHeight)}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetName(const std::string& n) { Name = n; }
  void SetHeight(int h) { Height = h; }
  std::string Name;
  int Height = 0;
};

class TTestItem : public TCollectionItem {
 public:
  using TCollectionItem::TCollectionItem;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info{"TTestItem", nullptr, {}, {Prop<TTestItem>::Binary("Data", &TTestItem::SetData)}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void SetData(const std::vector<std::uint8_t>& d) { Data = d; }
  std::vector<std::uint8_t> Data;
};

class TWidget : public TComponent {
 public:
  explicit TWidget(TComponent* owner) : TComponent(owner), Items(this, [](TCollection* c) { return std::make_unique<TTestItem>(c); }) {}
  static const TClassInfo& StaticClassInfo() {
    using P = Prop<TWidget>;
    static const TClassInfo info{
        "TWidget", &TComponent::StaticClassInfo(), [](TComponent* o) { return new TWidget(o); },
        {P::Int("Left", &TWidget::SetLeft), P::Bool("Visible", &TWidget::SetVisible),
         P::String("Caption", &TWidget::SetCaption), P::Strings("Lines", &TWidget::SetLines),
         P::Enum("Align", &TWidget::SetAlign, {"alNone", "alTop", "alClient"}),
         P::Set("Icons", &TWidget::SetIcons, {"biSystemMenu", "biMinimize", "biMaximize"}),
         P::Object("Font", &TWidget::GetFont), P::Reference("Buddy", &TWidget::SetBuddy),
         P::Event("OnClick", &TWidget::OnClick), P::Collection("Items", &TWidget::GetItems)}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  void Loaded() override {
    TComponent::Loaded();
    g_loadedOrder.push_back(Name() + (Buddy ? "->" + Buddy->Name() : ""));
  }
  void SetParentComponent(TComponent* p) override { Parent = p; }
  void SetLeft(int v) { Left = v; }
  void SetVisible(bool v) { Visible = v; }
  void SetCaption(const std::string& v) { Caption = v; }
  void SetLines(const std::vector<std::string>& v) { Lines = v; }
  void SetAlign(int v) { Align = v; }
  void SetIcons(unsigned v) { Icons = v; }
  TTestFont* GetFont() { return &Font; }
  void SetBuddy(TWidget* w) { Buddy = w; }
  TCollection* GetItems() { return &Items; }

  int Left = 0, Align = 0;
  unsigned Icons = 0;
  bool Visible = true;
  std::string Caption;
  std::vector<std::string> Lines;
  TTestFont Font;
  TWidget* Buddy = nullptr;
  TComponent* Parent = nullptr;
  TNotifyEvent OnClick;
  TCollection Items;
};

class TOther : public TComponent {
 public:
  using TComponent::TComponent;
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info{"TOther", &TComponent::StaticClassInfo(), [](TComponent* o) { return new TOther(o); }, {}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
};

class TTestRoot : public TWidget {
 public:
  TTestRoot() : TWidget(nullptr) {
    Methods["WidgetClick"] = TNotifyEvent([this](TObject* s) { Clicked = s; });
    Methods["WrongShape"] = std::function<void(TObject*, bool&)>([](TObject*, bool&) {});
  }
  static const TClassInfo& StaticClassInfo() {
    static const TClassInfo info{"TTestRoot", &TWidget::StaticClassInfo(), nullptr, {}};
    return info;
  }
  const TClassInfo& ClassInfo() const override { return StaticClassInfo(); }
  const std::map<std::string, std::any>* MethodTable() const override { return &Methods; }
  std::map<std::string, std::any> Methods;
  TObject* Clicked = nullptr;
};

struct Registration {
  Registration() {
    TClassRegistry::Register(TWidget::StaticClassInfo());
    TClassRegistry::Register(TOther::StaticClassInfo());
  }
} g_registration;

std::string ReadError(const std::string& text) {
  TTestRoot root;
  try {
    ReadComponentRoot(root, text);
  } catch (const EReadError& e) {
    return e.Message();
  }
  return "no error";
}

}  // namespace

TEST(FormReader, ReadsNestingEveryValueKindAndResolvesAfterReading) {
  g_loadedOrder.clear();
  TTestRoot root;
  ReadComponentRoot(root,
                    "object Main: TTestRoot\n"
                    "  Caption = 'It''s '#13'x' +\n"
                    "    ' more'\n"
                    "  Icons = [biSystemMenu, biMaximize]\n"
                    "  Lines = (\n"
                    "    '[BUTTON]'\n"
                    "    'COLOR=' + '1'#9\n"
                    "    '')\n"
                    "  Font.Name = 'MS Sans Serif'\n"
                    "  Font.Height = -11\n"
                    "  object Panel: TWidget\n"
                    "    Left = $10\n"
                    "    Align = alClient\n"
                    "    Buddy = Later\n"
                    "    object Inner: TWidget\n"
                    "      Visible = False\n"
                    "      OnClick = WidgetClick\n"
                    "      Items = <\n"
                    "        item\n"
                    "          Data = {0aFF 00}\n"
                    "        end\n"
                    "        item\n"
                    "        end>\n"
                    "    end\n"
                    "  end\n"
                    "  object Later: TWidget\n"
                    "  end\n"
                    "end\n");
  EXPECT_EQ(root.Name(), "Main");
  EXPECT_EQ(root.Caption, "It's \rx more");
  EXPECT_EQ(root.Icons, 0b101u);
  EXPECT_EQ(root.Lines, (std::vector<std::string>{"[BUTTON]", "COLOR=1\t", ""}));
  EXPECT_EQ(root.Font.Name, "MS Sans Serif");
  EXPECT_EQ(root.Font.Height, -11);
  ASSERT_EQ(root.ComponentCount(), 3);
  auto* panel = dynamic_cast<TWidget*>(root.FindComponent("Panel"));
  auto* inner = dynamic_cast<TWidget*>(root.FindComponent("inner"));  // names match without case
  ASSERT_TRUE(panel && inner);
  EXPECT_EQ(inner->Owner(), &root);
  EXPECT_EQ(inner->Parent, panel);
  EXPECT_EQ(panel->Parent, &root);
  EXPECT_EQ(panel->Left, 16);
  EXPECT_EQ(panel->Align, 2);
  EXPECT_EQ(panel->Buddy, root.FindComponent("Later"));  // forward reference
  EXPECT_FALSE(inner->Visible);
  ASSERT_EQ(inner->Items.Count(), 2);
  EXPECT_EQ(static_cast<TTestItem*>(inner->Items.Items(0))->Data, (std::vector<std::uint8_t>{0x0A, 0xFF, 0x00}));
  ASSERT_TRUE(inner->OnClick);
  inner->OnClick(inner);
  EXPECT_EQ(root.Clicked, inner);
  // After-loading notifications in creation order, each seeing its references resolved.
  EXPECT_EQ(g_loadedOrder, (std::vector<std::string>{"Main", "Panel->Later", "Inner", "Later"}));
  EXPECT_FALSE(root.IsLoading());
  EXPECT_FALSE(panel->IsLoading());
}

TEST(FormReader, ErrorsNameTheLine) {
  EXPECT_EQ(ReadError("object M: TTestRoot\n  object X: TNoSuch\n  end\nend"), "Line 2: Class TNoSuch not found");
  EXPECT_EQ(ReadError("object M: TTestRoot\n\n  Colour = 1\nend"), "Line 3: Property Colour of TTestRoot does not exist");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  OnClick = NoHandler\nend"),
            "Line 2: Method NoHandler not found for event OnClick");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  OnClick = WrongShape\nend"),
            "Line 2: Method WrongShape does not fit event OnClick");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  Buddy = Nobody\nend"),
            "Line 2: Component Nobody not found for property Buddy");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  object O: TOther\n  end\n  Buddy = O\nend"),
            "Line 4: Component O is of the wrong class for property Buddy");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  Left = 'x'\nend"),
            "Line 2: Invalid value of property Left: expected an integer, found a string");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  Align = alLeft\nend"),
            "Line 2: Invalid value of property Align: invalid enumeration value alLeft");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  Icons = [biHelp]\nend"),
            "Line 2: Invalid value of property Icons: invalid set element biHelp");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  Caption = ('a')\nend"),
            "Line 2: Invalid value of property Caption: expected a string, found a list of strings");
  EXPECT_EQ(ReadError("object M: TWidget\nend"), "Line 1: root object is of class TWidget, expected TTestRoot");
  EXPECT_EQ(ReadError("object M: TTestRoot\n  object A: TOther\n  end\n  object A: TOther\n  end\nend"),
            "Line 4: A component named A already exists");
}

TEST(FormReader, SyntaxErrorsAreRefusedNotCrashes) {
  const char* bad[] = {
      "",
      "object",
      "object M: TTestRoot\n  Caption = 'open\nend",
      "object M: TTestRoot\n  Caption = #999\nend",
      "object M: TTestRoot\n  Items = <item Data = {0} end>\nend",
      "object M: TTestRoot\n  Left = 99999999999999999999\nend",
      "object M: TTestRoot\n  Left = \nend",
      "object M: TTestRoot\n",
      "object M: TTestRoot\nend\nobject N: TTestRoot\nend",
      "object M: TTestRoot\n  Items = <item\n",
      "object M: TTestRoot\n  Caption = 'a' + 5\nend",
      "object M: TTestRoot\n  Lines = ('a' 'b'\n",
      "object M: TTestRoot\n  Lines = ('a' 5)\nend",
      "object M: TTestRoot\n  Lines = ('a' +)\nend",
  };
  for (const char* text : bad) EXPECT_NE(ReadError(text), "no error") << text;
}

TEST(Components, OwnerFreesChildrenAndFreeNotificationsReachWatchers) {
  auto* root = new TTestRoot;
  auto* a = new TWidget(root);
  auto* b = new TWidget(root);
  a->SetName("A");
  b->Buddy = a;
  struct Watcher : TWidget {
    using TWidget::TWidget;
    TComponent* Removed = nullptr;
    void Notification(TComponent* c, TOperation op) override {
      TWidget::Notification(c, op);
      if (op == TOperation::opRemove) Removed = c;
    }
  };
  auto* w = new Watcher(nullptr);
  w->FreeNotification(a);
  delete a;
  EXPECT_EQ(w->Removed, a);
  EXPECT_EQ(root->ComponentCount(), 1);
  auto* c = new TWidget(root);
  c->SetName("C");
  EXPECT_THROW(b->SetName("c"), Exception);  // names are unique within an owner, ignoring case
  delete root;  // frees b
  delete w;
}
