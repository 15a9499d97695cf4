// The toolkit's own texts in Brazilian Portuguese: the context menus of the
// edits and of the spin edit ("&Desfazer", "Recor&tar", "&Copiar", "Co&lar",
// "Selecionar tudo", "&Passo acima"), the standard buttons and dialogs. The
// window's own texts are Portuguese already; these come from Qt's pt_BR
// translations (package qt6-translations-l10n, scripts/instalar.sh).
#pragma once

class QCoreApplication;

// Installs Qt's pt_BR translations into `aplicacao`, whatever the process
// locale. True when they were found and installed; false (the toolkit's
// texts stay in English) when the translations are not installed. Call once,
// after the application object exists and before any window is created.
bool CarregarTraducaoQt(QCoreApplication& aplicacao);
