// The program's own folder: config.xml, log.txt, the inbox folder and the
// one-instance lock live beside the executable, for the window and the
// service alike.
#pragma once

#include <string>

// The folder of the running executable, ending with "/" (from
// /proc/self/exe; `argv0` made absolute when that cannot be read).
std::string PastaExecutavel(const char* argv0);
