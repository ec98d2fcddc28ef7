// The screens that take the game over beyond the story: the gallery viewer, recollection mode,
// the staff rolls and the selection tree. Each has its own header; input routes to them here.
#pragma once

#include "extras/gallery.h"
#include "extras/recollection.h"
#include "extras/selection_tree.h"
#include "extras/staff_roll.h"
