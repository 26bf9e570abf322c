// The FLTK windows of the configuration dialogs and the loading dialog. Their logic lives in
// dialogs.h and loading_dialog.h; these only show it and pass the user's actions on.
#pragma once

#include "config/configuration.h"

// The modal "Configuration" dialog (with "More Settings" and "About" on top) over record;
// true when it was confirmed with "Save and  S T A R T", false after "Cancel" or the close
// box. No display is fatal ("Creating dialog window "Configuration" failed !").
bool showConfigurationDialog(ConfigRecord& record, bool useOwnIcon);

// Fills the loading dialog's view hooks with its FLTK window.
void installLoadingDialogView(bool useOwnIcon);
