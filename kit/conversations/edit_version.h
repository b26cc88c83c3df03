// EditVersion belongs to the conversation model (a message's edit history), but the edit-history
// decoder below the model makes it too, so it is defined once in core. This header lets the model's users
// include it with the rest of the model.
#pragma once

#include "core/edit_version.h"
