#pragma once
// The main window's components as the run flow sees them: each carries its
// layout place and forwards to the front end through MainView. The click
// and change handlers are plain members, so a handler can be swapped while
// a question is shown.

#include "MainView.h"
#include "WindowLayout.h"

#include <algorithm>
#include <functional>
#include <string>

namespace qv::app {

class TButton {
public:
    TButton(MainView& view, Button which, TPlace place)
        : Place(place), view_(view), which_(which) {}

    std::string Caption() const { return view_.Caption(which_); }
    void SetCaption(const std::string& caption) { view_.SetCaption(which_, caption); }
    bool Enabled() const { return view_.Enabled(which_); }
    void SetEnabled(bool enabled) { view_.SetEnabled(which_, enabled); }
    void SetFocus() { view_.SetFocus(which_); }
    void SetShowHint(bool shown) { view_.SetHintsShown(which_, shown); }
    void Click() {
        if (OnClick) OnClick();
    }

    TPlace Place;
    std::function<void()> OnClick;

private:
    MainView& view_;
    Button which_;
};

class TGauge {
public:
    TGauge(MainView& view, Gauge which, TPlace place) : Place(place), view_(view), which_(which) {}

    int Position() const { return view_.GaugePosition(which_); }
    // The position stays within 0 and the maximum, as a gauge draws it, so
    // what is read back (the hint, the report) never passes 100 percent.
    void SetPosition(int position) {
        view_.SetGaugePosition(which_, std::clamp(position, 0, std::max(Max(), 0)));
    }
    int Max() const { return view_.GaugeMax(which_); }
    void SetMax(int maximum) {
        view_.SetGaugeMax(which_, maximum);
        if (Position() > maximum) view_.SetGaugePosition(which_, std::max(maximum, 0));
    }
    void SetHint(const std::string& hint) { view_.SetGaugeHint(which_, hint); }

    TPlace Place;

private:
    MainView& view_;
    Gauge which_;
};

class TMemo {
public:
    TMemo(MainView& view, TPlace place) : Place(place), view_(view) {}

    // One item; its CR LF pairs give extra lines. Fires OnChange.
    void Add(const std::string& text) {
        view_.AddStatusItem(text);
        if (OnChange) OnChange();
    }

    TPlace Place;
    std::function<void()> OnChange;

private:
    MainView& view_;
};

// Labels and the logo never change from the run flow; the front end draws them.
struct TLabel {
    TPlace Place;
    std::string Caption;
};

struct TImage {
    TPlace Place;
};

} // namespace qv::app
