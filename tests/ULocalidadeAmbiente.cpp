// Linked into every test program: the process takes its locale from the
// environment before any test runs, as the window toolkit does at start-up.
// The suite runs under pt_BR.UTF-8 (decimal comma), so a conversion that
// follows the process locale fails a test instead of an operator's import.
#include <clocale>

namespace {

const bool localidadeDoAmbiente = [] {
    std::setlocale(LC_ALL, "");
    return true;
}();

}  // namespace
