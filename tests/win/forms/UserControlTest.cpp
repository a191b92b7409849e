// The windowless user-control host: lifecycle, hit testing and input routing between
// overlapping controls, painting order and clipping, stored properties, container services
// and OLE drops.

#include "forms/UserControl.h"
#include "Canvas.h"
#include "Pump.h"
#include "forms/Form.h"
#include "forms/PictureBox.h"
#include "forms/ScaleMode.h"
#include "platform/win/ComPtr.h"
#include "platform/win/Handles.h"
#include "tests/support/win/FileDropData.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

using namespace moirelle;
using namespace moirelle::forms;
using test::At;
using test::PumpFor;

namespace {

using Journal = std::vector<std::string>;

// Paints itself in one colour and takes the pointer only over its left `hitWidth` pixels.
class Probe : public UserControl {
  public:
    Probe(Container& parent, Bounds b, Journal& journal, std::string name, COLORREF color,
          std::optional<PropertyBag> stored = {})
        : UserControl(parent, b, std::move(stored)), journal_(journal), name_(std::move(name)),
          color_(color) {}
    std::string_view TypeName() const override { return "Probe"; }

    float hitWidth = 1e9f;
    RECT lastClip{};
    int paints = 0;
    PropertyBag readBag;
    std::vector<std::wstring> droppedFiles;
    int32_t dropEffectAnswer = DROPEFFECT_COPY;

  protected:
    void UserControl_InitProperties() override { Note("InitProperties"); }
    void UserControl_Show() override { Note("Show"); }
    void UserControl_Hide() override { Note("Hide"); }
    void UserControl_Terminate() override { Note("Terminate"); }
    void UserControl_ReadProperties(PropertyBag& bag) override {
        Note("ReadProperties");
        readBag = bag;
    }
    void UserControl_WriteProperties(PropertyBag& bag) override {
        bag.WriteProperty("Opacity", int16_t{50}, int16_t{100});
        bag.WriteProperty("Scaler", int32_t{0}, int32_t{0});
    }
    void UserControl_Paint() override {
        ++paints;
        HDC dc = hDC();
        GetClipBox(dc, &lastClip);
        RECT all{0, 0, static_cast<LONG>(ScaleWidth()), static_cast<LONG>(ScaleHeight())};
        win::UniqueBrush brush(CreateSolidBrush(color_));
        FillRect(dc, &all, brush.get());
    }
    void UserControl_HitTest(float x, float y, int16_t& hit) override {
        bool inside = x >= 0 && y >= 0 && x < hitWidth && y < ScaleHeight() && x < ScaleWidth();
        if (inside) hit = vbHitResultHit;
        Note("HitTest(" + std::to_string(static_cast<int>(x)) + "," +
             std::to_string(static_cast<int>(y)) + ")=" + std::to_string(hit));
    }
    void UserControl_MouseDown(int16_t b, int16_t, float x, float y) override {
        Note("MouseDown" + std::to_string(b) + "@" + std::to_string(static_cast<int>(x)) + "," +
             std::to_string(static_cast<int>(y)));
    }
    void UserControl_MouseUp(int16_t b, int16_t, float, float) override {
        Note("MouseUp" + std::to_string(b));
    }
    void UserControl_MouseMove(int16_t, int16_t, float, float) override { Note("MouseMove"); }
    void UserControl_Click() override { Note("Click"); }
    void UserControl_DblClick() override { Note("DblClick"); }
    void UserControl_KeyDown(int16_t& key, int16_t) override {
        Note("KeyDown" + std::to_string(key));
    }
    void UserControl_KeyPress(int16_t& key) override { Note("KeyPress" + std::to_string(key)); }
    void UserControl_OLEDragOver(DataObject& data, int32_t& effect, int16_t, int16_t, float x,
                                 float y, int16_t state) override {
        Note("DragOver" + std::to_string(state) + "@" + std::to_string(static_cast<int>(x)) + "," +
             std::to_string(static_cast<int>(y)) + (data.GetFormat(vbCFFiles) ? " files" : ""));
        effect = dropEffectAnswer;
    }
    void UserControl_OLEDragDrop(DataObject& data, int32_t& effect, int16_t, int16_t, float,
                                 float) override {
        Note("DragDrop");
        droppedFiles = data.Files();
        effect = dropEffectAnswer;
    }

  private:
    void Note(const std::string& what) { journal_.push_back(name_ + "." + what); }
    Journal& journal_;
    std::string name_;
    COLORREF color_;
};

class HostForm : public Form {
  public:
    explicit HostForm(Journal& j, bool userMode = true)
        : Form({.caption = "host",
                .left = 3000,
                .top = 3000,
                .width = 4500,
                .height = 3000,
                .borderStyle = 0,
                .backColor = 0x000000,
                .userMode = userMode}),
          journal(j) {}
    Journal& journal;
    // Lower: (10, 10) 100 x 60 px, red. Upper: (60, 30) 100 x 60 px, blue, takes the
    // pointer only over its left 50 pixels.
    Hosted<Probe> lower{*this, {150, 150, 1500, 900}, journal, "Lower", RGB(255, 0, 0)};
    Hosted<Probe> upper{*this, {900, 450, 1500, 900}, journal, "Upper", RGB(0, 0, 255)};
};

uint32_t PixelOf(Container& c, int x, int y) {
    return test::Canvas(c, 300, 200).At(x, y);
}

bool Contains(const Journal& j, const std::string& s) {
    return std::find(j.begin(), j.end(), s) != j.end();
}

} // namespace

TEST(UserControls, LifecycleFromCreationToTermination) {
    Journal j;
    {
        HostForm f(j);
        EXPECT_EQ(j, (Journal{}));
        f.Load();
        EXPECT_EQ(j, (Journal{"Lower.InitProperties", "Upper.InitProperties"}));
        EXPECT_TRUE(f.lower.Sited());
        EXPECT_FALSE(f.lower.Shown());
        f.Show();
        EXPECT_TRUE(f.lower.Shown());
        f.upper.Visible(false);
        EXPECT_FALSE(f.upper.Shown());
        f.upper.Visible(true);
        EXPECT_TRUE(f.upper.Shown());
        j.clear();
    }
    // The form goes: controls hide and terminate; nothing else is raised.
    EXPECT_EQ(j, (Journal{"Upper.Hide", "Upper.Terminate", "Lower.Hide", "Lower.Terminate"}))
        << "members go in reverse order of declaration";
}

namespace {
class EventsForm : public Form {
  public:
    explicit EventsForm(Journal& j) : Form({.caption = "events", .borderStyle = 0}), journal(j) {}
    Journal& journal;
    class Counter : public UserControl {
      public:
        Counter(Container& p, Bounds b, Journal& j) : UserControl(p, b), j_(j) {}
        std::string_view TypeName() const override { return "Counter"; }

      protected:
        void UserControl_Initialize() override { j_.push_back("Initialize"); }
        void UserControl_InitProperties() override { j_.push_back("InitProperties"); }
        void UserControl_Resize() override {
            j_.push_back("Resize " + std::to_string(static_cast<int>(ScaleWidth())) + "x" +
                         std::to_string(static_cast<int>(ScaleHeight())));
        }
        void UserControl_Show() override { j_.push_back("Show"); }
        void UserControl_Paint() override {
            if (j_.empty() || j_.back() != "Paint") j_.push_back("Paint");
        }
        void UserControl_Hide() override { j_.push_back("Hide"); }
        void UserControl_Terminate() override { j_.push_back("Terminate"); }

      private:
        Journal& j_;
    };
    Hosted<Counter> counter{*this, {0, 0, 600, 300}, journal};
};
} // namespace

TEST(UserControls, EventOrderAndResizeInTwips) {
    Journal j;
    {
        EventsForm f(j);
        f.Show();
        PumpFor(30);
        EXPECT_EQ(j, (Journal{"Initialize", "InitProperties", "Resize 40x20", "Show", "Paint"}));
        j.clear();
        f.counter.Size(1500, 450);
        EXPECT_EQ(j.front(), "Resize 100x30");
        f.counter.Left(300); // moving alone is no resize
        EXPECT_EQ(j.size(), 1u);
        j.clear();
    }
    EXPECT_EQ(j, (Journal{"Hide", "Terminate"}));
}

TEST(UserControls, HitTestPicksTheTopmostControlThatAccepts) {
    Journal j;
    HostForm f(j);
    f.upper.hitWidth = 30;
    f.Show();
    HWND h = f.hWnd();
    j.clear();
    // Overlap, over the upper control's hit area: it takes the pointer; the lower one is
    // not asked.
    SendMessageW(h, WM_MOUSEMOVE, 0, At(80, 40));
    EXPECT_EQ(j, (Journal{"Upper.HitTest(20,10)=3", "Upper.MouseMove"}));
    j.clear();
    // Overlap, beside the upper control's hit area: it refuses, the lower one takes it.
    SendMessageW(h, WM_MOUSEMOVE, 0, At(100, 40));
    EXPECT_EQ(j, (Journal{"Upper.HitTest(40,10)=0", "Lower.HitTest(90,30)=3", "Lower.MouseMove"}));
    j.clear();
    SendMessageW(h, WM_MOUSEMOVE, 0, At(100, 20));
    EXPECT_EQ(j, (Journal{"Lower.HitTest(90,10)=3", "Lower.MouseMove"}));
    j.clear();
    // Out of the lower control's rectangle: it is asked with its own coordinates.
    SendMessageW(h, WM_MOUSEMOVE, 0, At(112, 40));
    EXPECT_EQ(j, (Journal{"Upper.HitTest(52,10)=0", "Lower.HitTest(102,30)=0"}));
    j.clear();
    SendMessageW(h, WM_MOUSEMOVE, 0, At(113, 41));
    EXPECT_EQ(j, (Journal{"Upper.HitTest(53,11)=0"})) << "told once only";
}

TEST(UserControls, InputRoutingClickDblClickAndLeaving) {
    Journal j;
    HostForm f(j);
    f.upper.hitWidth = 50;
    f.Show();
    HWND h = f.hWnd();
    j.clear();
    // Over the upper control's refused part but inside the lower one.
    SendMessageW(h, WM_MOUSEMOVE, 0, At(100, 20));
    EXPECT_EQ(j, (Journal{"Lower.HitTest(90,10)=3", "Lower.MouseMove"}));
    j.clear();
    SendMessageW(h, WM_MOUSEMOVE, 0, At(100, 40));
    EXPECT_EQ(j, (Journal{"Upper.HitTest(40,10)=3", "Upper.MouseMove"}))
        << "the covered control is not asked again";
    j.clear();
    // A right click on the upper control: down, up, Click.
    SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, At(100, 40));
    SendMessageW(h, WM_RBUTTONUP, 0, At(100, 40));
    EXPECT_TRUE(Contains(j, "Upper.MouseDown2@40,10"));
    EXPECT_TRUE(Contains(j, "Upper.MouseUp2"));
    EXPECT_EQ(j.back(), "Upper.Click");
    j.clear();
    // Double click: the second press is DblClick, and its release gives no Click.
    SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, At(100, 40));
    SendMessageW(h, WM_LBUTTONUP, 0, At(100, 40));
    EXPECT_FALSE(Contains(j, "Upper.Click"));
    EXPECT_TRUE(Contains(j, "Upper.DblClick"));
    EXPECT_EQ(j.back(), "Upper.MouseUp1");
    j.clear();
    // Pressed on the upper control, dragged onto the lower one: the upper keeps the mouse.
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(100, 40));
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, At(20, 20));
    SendMessageW(h, WM_LBUTTONUP, 0, At(20, 20));
    EXPECT_EQ(j, (Journal{"Upper.HitTest(40,10)=3", "Upper.MouseDown1@40,10", "Upper.MouseMove",
                          "Upper.MouseUp1"}));
    j.clear();
    // Keys go to the control that was pressed last.
    SendMessageW(h, WM_KEYDOWN, 'A', 0);
    SendMessageW(h, WM_CHAR, 'a', 0);
    EXPECT_EQ(j, (Journal{"Upper.KeyDown65", "Upper.KeyPress97"}));
    j.clear();
    // Leaving every control: the last one is asked with its own coordinates.
    SendMessageW(h, WM_MOUSEMOVE, 0, At(200, 150));
    EXPECT_EQ(j, (Journal{"Upper.HitTest(140,120)=0"}));
}

TEST(UserControls, RealMouseInputReachesTheControlUnderThePointer) {
    Journal j;
    HostForm f(j);
    f.Show();
    SetForegroundWindow(f.hWnd());
    PumpFor(50);
    POINT pt{30, 30}; // the lower control only
    ClientToScreen(f.hWnd(), &pt);
    ASSERT_TRUE(test::PlacePointer(pt));
    INPUT in[3]{};
    for (INPUT& i : in)
        i.type = INPUT_MOUSE;
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE; // a move of 0 still reports the pointer
    in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    j.clear();
    ASSERT_EQ(SendInput(3, in, sizeof(INPUT)), 3u);
    EXPECT_TRUE(test::PumpUntil([&] { return Contains(j, "Lower.Click"); }, 2000));
    EXPECT_TRUE(Contains(j, "Lower.MouseDown1@20,20"));
    EXPECT_FALSE(Contains(j, "Upper.Click"));
}

TEST(UserControls, DisabledOrHiddenControlsTakeNoInput) {
    Journal j;
    HostForm f(j);
    f.Show();
    f.upper.Enabled(false);
    j.clear();
    SendMessageW(f.hWnd(), WM_MOUSEMOVE, 0, At(80, 40));
    EXPECT_EQ(j, (Journal{"Lower.HitTest(70,30)=3", "Lower.MouseMove"}));
    f.upper.Enabled(true);
    f.lower.Visible(false);
    j.clear();
    SendMessageW(f.hWnd(), WM_MOUSEMOVE, 0, At(20, 20));
    EXPECT_TRUE(j.empty()) << "a hidden control is neither asked nor told";
}

TEST(UserControls, PaintOrderFollowsDeclarationAndClipBoxIsTheVisiblePart) {
    Journal j;
    HostForm f(j);
    f.Load();
    EXPECT_EQ(PixelOf(f, 5, 5), 0x000000u);
    EXPECT_EQ(PixelOf(f, 20, 20), 0xFF0000u) << "lower only";
    EXPECT_EQ(PixelOf(f, 80, 50), 0x0000FFu) << "overlap: the later control is on top";
    EXPECT_EQ(PixelOf(f, 150, 80), 0x0000FFu);
    EXPECT_EQ(PixelOf(f, 165, 80), 0x000000u);
    RECT clip = f.upper.lastClip;
    EXPECT_EQ(clip.left, 0);
    EXPECT_EQ(clip.top, 0);
    EXPECT_EQ(clip.right, 100);
    EXPECT_EQ(clip.bottom, 60);
    EXPECT_EQ(f.upper.hDC(), nullptr) << "no device context outside painting";
}

TEST(UserControls, RealWindowPaintsOnlyTheInvalidPart) {
    Journal j;
    HostForm f(j);
    f.Show();
    UpdateWindow(f.hWnd());
    PumpFor(30);
    int before = f.lower.paints;
    // Invalidate a rectangle covering only part of the upper control.
    RECT part{140, 70, 150, 80};
    InvalidateRect(f.hWnd(), &part, FALSE);
    UpdateWindow(f.hWnd());
    EXPECT_EQ(f.lower.paints, before) << "outside the lower control";
    RECT clip = f.upper.lastClip;
    EXPECT_EQ(clip.left, 80);
    EXPECT_EQ(clip.top, 40);
    EXPECT_EQ(clip.right, 90);
    EXPECT_EQ(clip.bottom, 50);
    // The window shows the painted controls.
    HDC dc = GetDC(f.hWnd());
    COLORREF overlap = GetPixel(dc, 80, 50);
    COLORREF lowerOnly = GetPixel(dc, 20, 20);
    ReleaseDC(f.hWnd(), dc);
    EXPECT_EQ(overlap, RGB(0, 0, 255));
    EXPECT_EQ(lowerOnly, RGB(255, 0, 0));
}

namespace {
class BoxForm : public Form {
  public:
    explicit BoxForm(Journal& j)
        : Form({.caption = "box",
                .left = 3000,
                .top = 3000,
                .width = 4500,
                .height = 3000,
                .borderStyle = 0,
                .backColor = 0x000000}),
          journal(j) {
        Picture1.BackColor(0xFFFFFF);
    }
    Journal& journal;
    // Box at (10, 10), 50 x 30 px; the control inside at (20, 5) of the box, 60 x 40 px.
    PictureBox Picture1{*this, {150, 150, 750, 450}};
    Hosted<Probe> inside{Picture1, {300, 75, 900, 600}, journal, "Inside", RGB(0, 255, 0)};
};
} // namespace

TEST(Boxes, ClipTheControlsInside) {
    Journal j;
    BoxForm f(j);
    f.Show();
    UpdateWindow(f.hWnd());
    UpdateWindow(f.Picture1.hWnd());
    PumpFor(30);
    EXPECT_EQ(f.inside.ContainerHwnd(), f.Picture1.Window());
    EXPECT_EQ(&f.inside.Parent(), static_cast<Container*>(&f.Picture1));
    HDC dc = GetDC(f.hWnd());
    COLORREF boxBackground = GetPixel(dc, 15, 12);
    COLORREF insideBox = GetPixel(dc, 40, 25);
    COLORREF beyondBox = GetPixel(dc, 70, 25);
    COLORREF belowBox = GetPixel(dc, 40, 45);
    ReleaseDC(f.hWnd(), dc);
    EXPECT_EQ(boxBackground, RGB(255, 255, 255));
    EXPECT_EQ(insideBox, RGB(0, 255, 0));
    EXPECT_EQ(beyondBox, RGB(0, 0, 0)) << "the part of the control beyond the box is cut off";
    EXPECT_EQ(belowBox, RGB(0, 0, 0));
    // Mouse input inside the box reaches the control in box coordinates.
    j.clear();
    SendMessageW(f.Picture1.hWnd(), WM_MOUSEMOVE, 0, At(25, 10));
    EXPECT_EQ(j, (Journal{"Inside.HitTest(5,5)=3", "Inside.MouseMove"}));
}

TEST(UserControls, LeavingTheWindowTellsTheControlThatHadThePointer) {
    Journal j;
    BoxForm f(j);
    f.Show();
    HWND box = f.Picture1.hWnd();
    SendMessageW(box, WM_MOUSEMOVE, 0, At(25, 10));
    j.clear();
    // The pointer is now beyond the box (at form pixel (100, 100)).
    POINT outside{100, 100};
    ClientToScreen(f.hWnd(), &outside);
    // No messages are handled before the leave message sent below.
    ASSERT_TRUE(test::PlacePointer(outside));
    SendMessageW(box, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(j, (Journal{"Inside.HitTest(70,85)=0"}));
    j.clear();
    SendMessageW(box, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(j.empty()) << "told once";
}

TEST(UserControls, StoredPropertiesGoToReadPropertiesWithTheirTypes) {
    Journal j;
    PropertyBag stored;
    stored.WriteProperty("Scaler", int32_t{1}, int32_t{0});
    stored.WriteProperty("Opacity", int16_t{60}, int16_t{100});
    stored.WriteProperty("Intensity", 2.5f, 0.0f);
    stored.WriteProperty("Enabled", true, true); // equal to its default: not stored
    stored.WriteProperty("Image", ByteArray{1, 2, 3}, ByteArray{});
    EXPECT_EQ(stored.Count(), 4u);
    EXPECT_FALSE(stored.Contains("Enabled"));

    HostForm f(j);
    Hosted<Probe> kept{f, {0, 0, 300, 300}, j, "Kept", RGB(1, 1, 1), stored};
    f.Load();
    EXPECT_TRUE(Contains(j, "Kept.ReadProperties"));
    const PropertyBag& bag = kept.readBag;
    EXPECT_TRUE(std::holds_alternative<int32_t>(bag.ReadProperty("Scaler", int32_t{0})));
    EXPECT_TRUE(std::holds_alternative<int16_t>(bag.ReadProperty("Opacity", int16_t{100})));
    EXPECT_EQ(std::get<int16_t>(bag.ReadProperty("Opacity", int16_t{100})), 60);
    EXPECT_EQ(std::get<float>(bag.ReadProperty("Intensity", 0.0f)), 2.5f);
    EXPECT_EQ(std::get<ByteArray>(bag.ReadProperty("Image", ByteArray{})), (ByteArray{1, 2, 3}));
    // Missing keys give the reader's default, in the default's type.
    EXPECT_TRUE(std::get<bool>(bag.ReadProperty("Enabled", true)));
    EXPECT_EQ(std::get<int32_t>(bag.ReadProperty("MaskColor", int32_t(0x8000000F))),
              int32_t(0x8000000F));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(bag.ReadProperty("Nothing")));
    // Typed reading converts numbers when they fit.
    EXPECT_EQ(bag.Read<int32_t>("Opacity", 0), 60);
    EXPECT_EQ(bag.Read<int16_t>("Intensity", 0), 2) << "2.5 rounds to even";
    EXPECT_EQ(bag.Read<bool>("Scaler", false), true);
    EXPECT_EQ(bag.Read<int16_t>("Image", 7), 7) << "a byte array is no number";
    PropertyBag big;
    big.WriteProperty("Big", int32_t{70000});
    EXPECT_EQ(big.Read<int16_t>("Big", -1), -1) << "does not fit: the default";
    EXPECT_EQ(VariantAs<int16_t>(Variant(true)), int16_t{-1});

    // Writing: the control's WriteProperties into a fresh bag.
    PropertyBag out = kept.SaveProperties();
    EXPECT_EQ(out.Count(), 1u);
    EXPECT_EQ(std::get<int16_t>(out.ReadProperty("Opacity", int16_t{100})), 50);
    // Overwriting with the default removes a stored value.
    out.WriteProperty("Opacity", int16_t{100}, int16_t{100});
    EXPECT_EQ(out.Count(), 0u);
    // A value of another type than its default is stored, even when numerically equal.
    out.WriteProperty("Opacity", int32_t{100}, int16_t{100});
    EXPECT_TRUE(std::holds_alternative<int32_t>(out.ReadProperty("Opacity")));
}

TEST(UserControls, ContainerServicesAndConversions) {
    Journal j;
    HostForm f(j);
    f.Load();
    Probe& p = f.upper;
    EXPECT_EQ(p.ContainerHwnd(), f.hWnd());
    EXPECT_TRUE(p.Ambient().UserMode);
    EXPECT_FLOAT_EQ(p.ScaleWidth(), 100);
    EXPECT_FLOAT_EQ(p.ScaleHeight(), 60);
    EXPECT_DOUBLE_EQ(p.ScaleX(10, vbPixels, vbTwips), 150);
    EXPECT_DOUBLE_EQ(p.ScaleY(150, vbTwips, vbUser), 10);
    EXPECT_DOUBLE_EQ(p.ScaleX(10, vbPixels, vbContainerPosition), 150);
    EXPECT_DOUBLE_EQ(p.ScaleX(1440, vbTwips, vbInches), 1);
    EXPECT_DOUBLE_EQ(p.ScaleX(2540, vbHimetric, vbPixels), 96);
    f.ScaleMode(vbPixels);
    EXPECT_DOUBLE_EQ(p.ScaleX(10, vbPixels, vbContainerSize), 10);
    f.ScaleMode(vbTwips);

    auto mode = f.Property("scalemode");
    ASSERT_TRUE(mode);
    EXPECT_EQ(std::get<int16_t>(*mode), vbTwips);
    auto hwnd = f.Property("hWnd");
    ASSERT_TRUE(hwnd);
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<intptr_t>(std::get<int64_t>(*hwnd))), f.hWnd());
    auto back = f.Property("BackColor");
    ASSERT_TRUE(back);
    EXPECT_EQ(std::get<int32_t>(*back), 0);
    EXPECT_FALSE(f.Property("Picture"));

    // The container's controls, in declaration order, with their type names.
    ASSERT_EQ(p.ParentControls().size(), 2u);
    EXPECT_EQ(p.ParentControls()[0], static_cast<Control*>(&f.lower));
    EXPECT_EQ(p.ParentControls()[1]->TypeName(), "Probe");

    p.PropertyChanged("Opacity");
    p.PropertyChanged("HitTest");
    EXPECT_EQ(p.ChangedProperties(), (std::vector<std::string>{"Opacity", "HitTest"}));
    p.Tag("Timer");
    EXPECT_EQ(p.Tag(), "Timer");
}

TEST(UserControls, AmbientUserModeIsFalseAtDesignTime) {
    Journal j;
    HostForm f(j, false);
    f.Load();
    EXPECT_FALSE(f.lower.Ambient().UserMode);
}

TEST(UserControls, MousePointerSetsTheCursorOverTheControl) {
    Journal j;
    HostForm f(j);
    f.Show();
    f.lower.MousePointer(2);
    f.lower.MousePointer(16); // not a pointer: ignored
    EXPECT_EQ(f.lower.MousePointer(), 2);
    SendMessageW(f.hWnd(), WM_MOUSEMOVE, 0, At(20, 20));
    SendMessageW(f.hWnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(f.hWnd()),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_CROSS));
}

TEST(UserControls, DropsOfFileListsReachTheControlUnderThePoint) {
    Journal j;
    HostForm f(j);
    f.Show();
    EXPECT_EQ(f.DropTarget(), nullptr) << "no control accepts drops yet";
    f.lower.OLEDropMode(vbOLEDropManual);
    f.lower.OLEDropMode(5); // not a mode: ignored
    IDropTarget* target = f.DropTarget();
    ASSERT_NE(target, nullptr);

    const auto data = win::ComPtr<IDataObject>::Attach(
        new test::FileListDataObject({L"C:\\skins\\a.png", L"C:\\caf\u00e9\\b.png"}));
    POINT origin{0, 0};
    ClientToScreen(f.hWnd(), &origin);
    auto at = [&origin](int x, int y) { return POINTL{origin.x + x, origin.y + y}; };
    j.clear();
    DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    ASSERT_EQ(target->DragEnter(data.Get(), MK_LBUTTON, at(20, 20), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    effect = DROPEFFECT_COPY;
    target->DragOver(MK_LBUTTON, at(30, 20), &effect);
    // Over the upper control, which does not accept drops: no effect, and the lower one
    // is told that the drag left it.
    effect = DROPEFFECT_COPY;
    target->DragOver(MK_LBUTTON, at(150, 60), &effect);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_NONE));
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target->Drop(data.Get(), 0, at(25, 30), &effect), S_OK);
    EXPECT_EQ(effect, static_cast<DWORD>(DROPEFFECT_COPY));
    EXPECT_EQ(j, (Journal{"Lower.DragOver0@10,10 files", "Lower.DragOver2@20,10 files",
                          "Lower.DragOver1@0,0 files", "Lower.DragDrop"}));
    EXPECT_EQ(f.lower.droppedFiles,
              (std::vector<std::wstring>{L"C:\\skins\\a.png", L"C:\\caf\u00e9\\b.png"}));
    // Leaving the window.
    j.clear();
    effect = DROPEFFECT_COPY;
    target->DragEnter(data.Get(), MK_LBUTTON, at(20, 20), &effect);
    target->DragLeave();
    EXPECT_EQ(j, (Journal{"Lower.DragOver0@10,10 files", "Lower.DragOver1@0,0 files"}));
}
