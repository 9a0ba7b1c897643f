#pragma once
// The main window as the recording side sees it.

#include "UnitMain.h"

#include "recording/BurnWindow.h"

#include <memory>

namespace qv::app {

std::unique_ptr<recording::BurnWindow> MakeFormBurnWindow(TFormMain& form);

// Gives the data module its window; the start-up calls it once both exist.
void AttachBurnWindow(TFormMain& form, recording::TBurnDataModule& module);

} // namespace qv::app
