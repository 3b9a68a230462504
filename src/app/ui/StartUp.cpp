#include "StartUp.h"

#include "base/MessageSink.h"

#include <exception>
#include <new>
#include <string>

std::unique_ptr<QWidget> startUp(const std::function<std::unique_ptr<QWidget>()> &create,
                                 korvat::MessageSink &messages) {
    try {
        return create();
    } catch (const std::bad_alloc &) {
        messages.showError("Out of memory: the program's buffers could not be allocated.");
    } catch (const std::exception &e) {
        messages.showError(e.what());
    } catch (...) {
        messages.showError("The program could not start.");
    }
    return nullptr;
}
