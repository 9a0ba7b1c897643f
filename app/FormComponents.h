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
#include <utility>

namespace qv::app {

// The components keep their own state; the front end only shows it.
class TButton {
public:
    TButton(MainView& view, Button which, TPlace place, std::string caption)
        : Place(place), view_(view), which_(which), caption_(std::move(caption)) {}

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption) {
        caption_ = caption;
        view_.SetCaption(which_, caption);
    }
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) {
        enabled_ = enabled;
        view_.SetEnabled(which_, enabled);
    }
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
    std::string caption_;
    bool enabled_ = true;
};

class TGauge {
public:
    TGauge(MainView& view, Gauge which, TPlace place) : Place(place), view_(view), which_(which) {}

    int Position() const { return position_; }
    // The position stays within 0 and the maximum, as a gauge draws it, so
    // what is read back (the hint, the report) never passes 100 percent.
    void SetPosition(int position) {
        position_ = std::clamp(position, 0, std::max(maximum_, 0));
        view_.SetGaugePosition(which_, position_);
    }
    int Max() const { return maximum_; }
    void SetMax(int maximum) {
        maximum_ = maximum;
        view_.SetGaugeMax(which_, maximum);
        if (position_ > maximum) {
            position_ = std::max(maximum, 0);
            view_.SetGaugePosition(which_, position_);
        }
    }
    void SetHint(const std::string& hint) { view_.SetGaugeHint(which_, hint); }

    TPlace Place;

private:
    // A new gauge's range, as every front end's gauge starts.
    static constexpr int kDefaultMaximum = 100;

    MainView& view_;
    Gauge which_;
    int position_ = 0;
    int maximum_ = kDefaultMaximum;
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
