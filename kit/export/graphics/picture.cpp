#include "export/graphics/picture.h"
