// One running instance per program folder. The program takes an exclusive
// lock on a small file beside the executable ("quorvelcad.trava") and keeps
// it for its whole run; a second start in the same folder finds the lock
// taken and ends. The lock belongs to the open file, so the system releases it
// when the holder ends in any way (normal exit, crash, kill): a lock is never
// left behind by a process that is gone, and nothing has to be cleaned up.
// The descriptor is not inherited across exec, so a program started by the
// holder never keeps the lock alive.
#pragma once

#include <memory>
#include <string>

class TInstanciaUnica {
public:
    // Name of the lock file inside the program folder.
    static constexpr const char* kArquivo = "quorvelcad.trava";

    // Tries to take the lock of `pasta` (the program folder, a file-system
    // path, with or without the final separator) without waiting.
    // - Taken: returns the holder; the lock lasts until it is released. The
    //   lock file then holds the holder's process number, for information.
    // - Held by another holder (another process, or another holder in this
    //   process): returns null and leaves `erro` empty.
    // - The lock file cannot be opened or made (no such folder, no permission
    //   on a new file, a read-only disk): returns null and, when `erro` is
    //   given, puts there the reason (Windows-1252 Portuguese text with the
    //   system's description). An existing lock file that cannot be written is
    //   opened for reading and locked all the same.
    // Never throws.
    static std::unique_ptr<TInstanciaUnica> Adquirir(const std::string& pasta, std::string* erro = nullptr);

    // Releases the lock. The lock file itself stays (removing it could let a
    // third start lock a new file while a second one still holds the old).
    ~TInstanciaUnica();
    TInstanciaUnica(const TInstanciaUnica&) = delete;
    TInstanciaUnica& operator=(const TInstanciaUnica&) = delete;

private:
    explicit TInstanciaUnica(int fd) : fd_(fd) {}
    int fd_;
};
