#include "BuildStamp.h"

#define QV_WIDEN2(text) L##text
#define QV_WIDEN(text) QV_WIDEN2(text)

const wchar_t* const kBuildDate = QV_WIDEN(__DATE__);
const wchar_t* const kBuildTime = QV_WIDEN(__TIME__);
