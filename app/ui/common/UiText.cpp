#include "ui/common/UiText.h"
