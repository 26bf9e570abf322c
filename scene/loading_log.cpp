#include "scene/loading_log.h"

LoadingLog loadingLog;
