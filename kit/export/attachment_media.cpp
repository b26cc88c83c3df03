#include "export/attachment_media.h"
