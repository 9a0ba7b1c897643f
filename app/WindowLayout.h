#pragma once
// The main window's layout, written once: the components' places, the
// window's size, frame and names, the colours and faces of its dressing and
// the texts it is designed with. The run flow builds its components from
// it; every front end draws from it.

namespace qv::app {

// Left, top, width, height in pixels of the window's client area.
struct TPlace {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

// The window's client area, and the flat frame drawn around it.
inline constexpr int kClientWidth = 334;
inline constexpr int kClientHeight = 343;
inline constexpr int kFrameWidth = 2;

// The window's class and title, by which a desktop (and a test) finds it.
inline constexpr const char* kWindowClass = "TFormMain";
inline constexpr const char* kWindowTitle = "Applet";

// Colours as 0x00BBGGRR values.
inline constexpr unsigned kColourBlack = 0x000000;
inline constexpr unsigned kColourWhite = 0xFFFFFF;
inline constexpr unsigned kColourPureRed = 0x0000FF;
inline constexpr unsigned kGradientEnd = 0x2600C4; // RGB(196, 0, 38)

namespace layout {

// The places as the window is designed, in the layout's order.
inline constexpr TPlace kDevLabel{20, 32, 300, 60};
inline constexpr TPlace kImageLogo{8, 10, 313, 99};
inline constexpr TPlace kLabelProgress{16, 110, 64, 18};
inline constexpr TPlace kProgressBarLeft{16, 128, 25, 17};
inline constexpr TPlace kProgressBar{41, 128, 279, 17};
inline constexpr TPlace kMemoStatus{16, 160, 305, 129};
inline constexpr TPlace kButtonLeft{16, 304, 145, 25};
inline constexpr TPlace kButtonRight{176, 304, 145, 25};

// Window creation centres the logo at its top and stretches the main gauge
// from the left gauge's right edge to this one.
inline constexpr int kLogoTop = 10;
inline constexpr int kMainGaugeRightEdge = 320;

constexpr TPlace CentredLogo(TPlace logo) {
    logo.Left = kClientWidth / 2 - logo.Width / 2;
    logo.Top = kLogoTop;
    return logo;
}

constexpr TPlace MainGaugeBeside(const TPlace& left, TPlace main) {
    main.Left = left.Left + left.Width;
    main.Width = kMainGaugeRightEdge - main.Left;
    return main;
}

// The places once the window is created: those every front end shows.
inline constexpr TPlace kShownImageLogo = CentredLogo(kImageLogo);
inline constexpr TPlace kShownProgressBar = MainGaugeBeside(kProgressBarLeft, kProgressBar);

// The dressing's colours, 0x00BBGGRR.
inline constexpr unsigned kText = kColourWhite;
inline constexpr unsigned kGreyedText = 0x808080;
inline constexpr unsigned kPressedFill = 0x130060; // RGB(96, 0, 19)
inline constexpr unsigned kGaugeBack = kColourBlack;
inline constexpr unsigned kDiscRim = 0xD2C8C8;   // RGB(200, 200, 210)
inline constexpr unsigned kDiscSheen = 0xAA9696; // RGB(150, 150, 170)
inline constexpr unsigned kDiscLabel = 0x2600C4; // RGB(196, 0, 38)
inline constexpr unsigned kDiscHole = kColourBlack;
// Hints in the desktop's usual colours: black on pale yellow.
inline constexpr unsigned kHintBackground = 0xE1FFFF; // RGB(255, 255, 225)
inline constexpr unsigned kHintText = kColourBlack;

// Faces and their pixel heights: the body (buttons, console, hints, the
// logo's tagline), the heavy face of the progress label and the logo's name.
inline constexpr const char* kBodyFace = "Tahoma";
inline constexpr const char* kHeavyFace = "Arial Black";
inline constexpr int kBodySize = 11;
inline constexpr int kLabelSize = 13;
inline constexpr int kLogoNameSize = 34;

// The logo: a disc of three rings and a hole at the left, the maker's name
// beside it ending two thirds down, the tagline under the name.
struct LogoShape {
    int centreX;
    int centreY;
    int radius;
    int textLeft;
    int nameBottom;
};

constexpr LogoShape LogoIn(int left, int top, int height) {
    const int radius = height / 2 - 4;
    const int centreX = left + radius + 8;
    return {centreX, top + height / 2, radius, centreX + radius + 12, top + height * 2 / 3};
}
// The rings' radii, from the rim inwards.
constexpr int SheenRadius(int radius) {
    return radius * 3 / 4;
}
constexpr int LabelRadius(int radius) {
    return radius / 2;
}
constexpr int HoleRadius(int radius) {
    return radius / 6;
}

// The texts the window is designed with.
inline constexpr const char* kProgressCaption = "Progress";
inline constexpr const char* kLeftCaption = "&Help";
inline constexpr const char* kRightCaption = "&Ok";
inline constexpr const char* kLeftHint = "Opens a web page";
inline constexpr const char* kGaugeHint = "-";
inline constexpr const char* kMemoHint = "Scroll Up and Down to view";
inline constexpr const char* kLogoName = "QUARLOW";
inline constexpr const char* kLogoTagline = "makes your CD";

} // namespace layout
} // namespace qv::app
