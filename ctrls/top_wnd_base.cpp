#include "ctrls/top_wnd_base.h"

namespace ctrls {

TopWndBase::~TopWndBase() = default;

}  // namespace ctrls
