// The standard looks of the controls: what a control shows when no skin gave it a
// style. Each filler writes the standard record of a default-record getter (the
// controls' StyleDefault), once per process.
#pragma once

#include "ctrls/button_style.h"
#include "ctrls/edit_style.h"
#include "ctrls/option_style.h"
#include "ctrls/progress_style.h"
#include "ctrls/system_panel_style.h"

namespace ctrls {

void FillStandardStyle(ButtonStyle& s);
void FillStandardStyle(SystemPanelStyle& s);
void FillStandardStyle(OptionStyle& s);
void FillStandardStyle(EditStyle& s);
void FillStandardStyle(ProgressStyle& s);

}  // namespace ctrls
