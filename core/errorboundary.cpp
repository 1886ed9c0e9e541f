#include "core/errorboundary.h"

#include "core/editorerror.h"
#include "core/seams.h"

#include <exception>

namespace tovel {

bool ErrorBoundary::run(Prompts &prompts, const std::function<void()> &handler)
{
    try {
        handler();
        return true;
    } catch (const EditorError &e) {
        prompts.showMessage(e.message());
    } catch (const std::exception &e) {
        prompts.showMessage(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        prompts.showMessage(QStringLiteral("Unexpected error"));
    }
    return false;
}

} // namespace tovel
