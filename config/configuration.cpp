#include "config/configuration.h"

// TODO(foundation): loadConfiguration, saveConfiguration and applyConfiguration.
ConfigState configState;
