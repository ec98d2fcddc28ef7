// Screens of the player interface that input and the main loop already route to: choices, the
// backlog and page rewind, the hidden window and panic picture, the quick-button bar and the
// yes/no questions, click maps and their cursors, and the parameter meter.
#pragma once

#include "platform/platform.h"
#include "ui/backlog.h"
#include "ui/choices.h"
#include "ui/click_map.h"
#include "ui/cursors.h"
#include "ui/hidden_window.h"
#include "ui/quick_bar.h"
