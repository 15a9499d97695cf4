// The Firebird client library catches SIGINT and SIGTERM itself: left alone,
// on either signal it shuts down every attachment of the process at once, so
// the statement under way fails ("connection shutdown") and the request being
// imported is cut in the middle instead of finishing. A program that ends on
// these signals by itself, after the request under way, refuses that
// shutdown here.
#pragma once

// Asks the client library to call `aoSinal` instead of shutting its
// attachments down when the process gets SIGINT or SIGTERM. `aoSinal` runs on
// the client's own shutdown thread: it must only set a flag. The program's own
// handlers for the two signals stay as they are. False when the client
// library refused the registration (its shutdown on a signal then stays).
// Never throws.
bool RecusarEncerramentoDoClientePorSinal(void (*aoSinal)()) noexcept;
