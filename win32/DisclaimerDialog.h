#pragma once
// The terms of use, asked before anything else.

#include "settings/LanguageCatalogue.h"

namespace kestiva {

// True when the user accepts the terms. Enter and Escape decide nothing: the user presses a
// button, and closing the window declines.
bool askTermsOfUse(LanguageCatalogue& texts);

}  // namespace kestiva
