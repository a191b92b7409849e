// A small window built on the forms runtime: a stretched picture with a label over it, a
// check box, a scroll bar and a windowless control that paints itself, takes the pointer
// only over its round shape and reports the pointer entering and leaving it and clicks.
//
//   formsdemo.exe            run until the window is closed
//   formsdemo.exe --demo     also move the pointer onto the badge and right-click it, then
//                            leave the window open for a few seconds and end

#include "formats/win/modParsersWin.h"
#include "forms/App.h"
#include "forms/CheckBox.h"
#include "forms/DibSection.h"
#include "forms/Event.h"
#include "forms/Form.h"
#include "forms/HScrollBar.h"
#include "forms/Image.h"
#include "forms/Label.h"
#include "forms/Timer.h"
#include "forms/UserControl.h"
#include "platform/win/Handles.h"
#include "platform/win/Text.h"

#include <cmath>
#include <string>

using namespace moirelle;
using namespace moirelle::forms;

namespace {

// A picture of a diagonal colour gradient, made in memory.
Picture GradientPicture(int w, int h) {
    uint32_t* bits = nullptr;
    HBITMAP bmp = CreateDibSection32(w, h, &bits).release();
    if (!bmp) return {};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t r = static_cast<uint32_t>(40 + 150 * x / w);
            uint32_t g = static_cast<uint32_t>(60 + 120 * y / h);
            uint32_t b = static_cast<uint32_t>(160 + 80 * (w - x) / w);
            bits[y * w + x] = (r << 16) | (g << 8) | b;
        }
    auto picture = modParsers::PictureFromHandle(bmp, modParsers::pictureBitmap);
    if (!picture) {
        DeleteObject(bmp);
        return {};
    }
    return Picture(std::move(picture));
}

// A round windowless badge. It takes the pointer only inside its ellipse, watches the
// pointer with a 100 ms timer once it entered, and raises MouseEnter, MouseExit and Click.
class Badge : public UserControl {
  public:
    Badge(Container& parent, Bounds b) : UserControl(parent, b), poll_(parent, 100, false) {
        poll_.Tick.Bind(this, &Badge::Poll);
    }
    std::string_view TypeName() const override { return "Badge"; }

    void Caption(std::string text) {
        caption_ = std::move(text);
        Refresh();
    }
    void Level(int level) {
        level_ = level;
        Refresh();
    }

    Event<> MouseEnter;
    Event<> MouseExit;
    Event<int16_t> Click;

  protected:
    void UserControl_Paint() override {
        HDC dc = hDC();
        int w = static_cast<int>(ScaleWidth()), h = static_cast<int>(ScaleHeight());
        COLORREF fill = over_ ? RGB(255, 200, 60) : RGB(level_, 120, 255 - level_);
        win::UniqueBrush brush(CreateSolidBrush(fill));
        win::UniquePen pen(CreatePen(PS_SOLID, 3, RGB(255, 255, 255)));
        win::ScopedSelect b(dc, brush.get());
        win::ScopedSelect p(dc, pen.get());
        Ellipse(dc, 2, 2, w - 2, h - 2);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, over_ ? RGB(0, 0, 0) : RGB(255, 255, 255));
        RECT r{0, 0, w, h};
        std::wstring text = win::Widen(caption_);
        DrawTextW(dc, text.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    void UserControl_HitTest(float x, float y, int16_t& hit) override {
        if (Inside(x, y)) hit = vbHitResultHit;
        if (hit == vbHitResultHit && !over_) {
            over_ = true;
            poll_.Enabled(true);
            Refresh();
            MouseEnter();
        } else if (hit != vbHitResultHit && over_) {
            Leave();
        }
    }
    void UserControl_MouseDown(int16_t button, int16_t, float, float) override {
        lastButton_ = button;
    }
    void UserControl_Click() override { Click(lastButton_); }
    void UserControl_Hide() override {
        if (over_) Leave();
    }

  private:
    bool Inside(float x, float y) const {
        float rx = ScaleWidth() / 2, ry = ScaleHeight() / 2;
        if (rx <= 0 || ry <= 0) return false;
        float dx = (x - rx) / rx, dy = (y - ry) / ry;
        return dx * dx + dy * dy <= 1.0f;
    }
    void Leave() {
        over_ = false;
        poll_.Enabled(false);
        Refresh();
        MouseExit();
    }
    // The pointer may leave the window without the container noticing.
    void Poll() {
        POINT pt;
        GetCursorPos(&pt);
        HWND under = WindowFromPoint(pt);
        ScreenToClient(ContainerHwnd(), &pt);
        RECT r = PixelRect();
        if (under != ContainerHwnd() ||
            !Inside(static_cast<float>(pt.x - r.left), static_cast<float>(pt.y - r.top)))
            Leave();
    }

    Timer poll_;
    std::string caption_ = "Badge";
    int level_ = 100;
    bool over_ = false;
    int16_t lastButton_ = 0;
};

class FrmDemo : public Form {
  public:
    explicit FrmDemo(bool demo)
        : Form({.caption = "Moirelle forms demo",
                .width = 6300,
                .height = 4200,
                .borderStyle = 1,
                .startUpPosition = 2,
                .backColor = 0x303030}),
          demo_(demo) {
        Image1.Stretch(true);
        Label1.Caption("Forms runtime demo");
        Label1.BackStyle(vbTransparent);
        Label1.ForeColor(0xFFFFFF);
        Label1.Font({.name = "Tahoma", .size = 14.25f, .bold = true});
        Label1.Alignment(vbCenter);
        Check1.Caption("Bold title");
        Check1.Value(vbChecked);
        Check1.ForeColor(0xFFFFFF);
        Check1.BackColor(0x303030);
        Check1.Font({.name = "Tahoma", .size = 9.75f});
        HScroll1.Max(255);
        HScroll1.Value(100);
        HScroll1.LargeChange(16);
        for (Label* l : {&Label2, &Label3}) {
            l->BackStyle(vbTransparent);
            l->ForeColor(0xE0E0E0);
            l->Font({.name = "Tahoma", .size = 9.75f});
        }
        Label2.Caption("Level: 100");
        Label3.Caption("Point at the badge and click it.");
    }

    Image Image1{*this, {0, 0, 6300, 900}};
    Label Label1{*this, {0, 240, 6300, 450}};
    CheckBox Check1{*this, {240, 1080, 2400, 300}};
    HScrollBar HScroll1{*this, {240, 1560, 3000, 255}};
    Label Label2{*this, {3360, 1560, 1500, 255}};
    Hosted<Badge> badge{*this, {3600, 2040, 2100, 1200}};
    Label Label3{*this, {240, 2160, 3200, 1000}};
    Timer Script{*this, 0, false};

  protected:
    void Form_Load() override {
        Image1.Picture(GradientPicture(64, 16));
        Check1.Click.Bind(this, &FrmDemo::Check1_Click);
        HScroll1.Change.Bind(this, &FrmDemo::HScroll1_Change);
        badge.MouseEnter = [this] { Report("Mouse entered the badge."); };
        badge.MouseExit = [this] { Report("Mouse left the badge."); };
        badge.Click = [this](int16_t button) {
            ++clicks_;
            badge.Caption("Clicked " + std::to_string(clicks_));
            Report("Badge clicked with button " + std::to_string(button) + ".");
        };
        if (demo_) {
            Script.Tick.Bind(this, &FrmDemo::Script_Tick);
            Script.Interval(400);
            Script.Enabled(true);
        }
    }
    void Form_QueryUnload(bool&, int16_t) override { App::End(); }

  private:
    void Check1_Click() {
        Font f = Label1.Font();
        f.bold = Check1.Value() == vbChecked;
        Label1.Font(f);
    }
    void HScroll1_Change() {
        Label2.Caption("Level: " + std::to_string(HScroll1.Value()));
        badge.Level(HScroll1.Value());
    }
    void Report(const std::string& line) {
        log_ += line + "\n";
        Label3.Caption(log_);
    }
    // Real input for the demonstration: move onto the badge, right-click, move the slider.
    void Script_Tick() {
        RECT r = badge.PixelRect();
        POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        ClientToScreen(hWnd(), &centre);
        INPUT in[2]{};
        switch (step_++) {
        case 0:
            SetForegroundWindow(hWnd());
            SetCursorPos(centre.x, centre.y);
            in[0].type = INPUT_MOUSE;
            in[0].mi.dx = 1;
            in[0].mi.dwFlags = MOUSEEVENTF_MOVE;
            SendInput(1, in, sizeof(INPUT));
            break;
        case 1:
            in[0].type = in[1].type = INPUT_MOUSE;
            in[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
            in[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
            SendInput(2, in, sizeof(INPUT));
            break;
        case 2:
            HScroll1.Value(200);
            break;
        case 25:
            App::End();
        default:
            break;
        }
    }

    bool demo_;
    int step_ = 0;
    int clicks_ = 0;
    std::string log_;
};

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    bool demo = std::wstring(GetCommandLineW()).find(L"--demo") != std::wstring::npos;
    FrmDemo form(demo);
    form.Show();
    return App::Run();
}
