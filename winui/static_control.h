#pragma once
// Base of our static controls, which paint themselves completely.
#include "control.h"

namespace winui {

class Static : public Control {};

}  // namespace winui
