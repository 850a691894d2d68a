#pragma once

#include "store/MessageService.h"
#include "store/Pro000.h"
#include "ui/ModalService.h"
#include "ui/PrintService.h"

namespace kesola {

// What every window is given: the shared module's globals and the services that stand between the windows and
// the platform (message boxes, modal windows, the printer).
struct AppContext {
    Pro000& g;
    ModalService& modal;
    PrintService& printer;

    MessageService& messages() const { return *g.messages; }
};

}  // namespace kesola
