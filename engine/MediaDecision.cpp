#include "MediaDecision.h"

namespace qv::engine {

namespace {

bool HoldsData(DiscState state) {
    return state == DiscState::Full || state == DiscState::Appendable;
}

} // namespace

MediumVerdict JudgeMedium(const Medium& medium) {
    if (medium.pseudoDrive)
        return medium.emptyRegularFile ? MediumVerdict::Blank : MediumVerdict::NotBlank;
    const bool cd = medium.profile == kProfileCdR || medium.profile == kProfileCdRw;
    if (cd && medium.state == DiscState::Blank) return MediumVerdict::Blank;
    if (medium.profile == kProfileCdRw && HoldsData(medium.state))
        return MediumVerdict::UsedRewritable;
    return MediumVerdict::NotBlank;
}

bool ReportsRewritable(const Medium& medium) {
    return !medium.pseudoDrive && medium.profile == kProfileCdRw &&
           JudgeMedium(medium) != MediumVerdict::NotBlank;
}

} // namespace qv::engine
