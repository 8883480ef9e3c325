#include "app/settings/crop_dialog_call.h"

namespace swivio::app {

CropDialogRunner& cropDialogRunner() {
    static CropDialogRunner runner;
    return runner;
}

} // namespace swivio::app
