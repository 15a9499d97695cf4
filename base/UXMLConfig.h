// The local settings file ("config.xml" beside the executable): sections are
// child elements of the root, keys are their attributes. A TXMLConfig loads
// the whole document, reads and changes values and writes the whole
// document back; it is meant to live for one operation.
//
// Values cross this interface as Windows-1252 text and are stored as UTF-8
// in the file. Section and key names are compared exactly.
#pragma once

#include <memory>
#include <string>

struct _xmlDoc;

class TXMLConfig {
public:
    // Parses the file at `arquivo` when one exists, else starts an empty
    // document with the root "Configuration" (nothing is written yet).
    // Entities are never expanded and nothing outside the file is read: a
    // document that declares entities is refused.
    // Throws EErroXML (parser's reason and line) for a file that is not
    // well-formed, EErro when it exists but cannot be read. The file is never
    // changed by a failed load.
    explicit TXMLConfig(const std::string& arquivo);
    // Saves (as Save) and releases the document. A failure to save is
    // swallowed here: callers that must know call Save first.
    ~TXMLConfig();
    TXMLConfig(const TXMLConfig&) = delete;
    TXMLConfig& operator=(const TXMLConfig&) = delete;

    // The attribute `chave` of the first child element of the root named
    // `secao`; `padrao` when that element or attribute is missing. A present
    // but empty attribute reads as empty.
    std::string ReadString(const std::string& secao, const std::string& chave,
                           const std::string& padrao) const;
    // Sets the attribute, adding the section as the root's last child when
    // missing. A value equal to the current one (read with an empty default)
    // changes nothing, so an empty value never creates a key. Throws EErro
    // for a section or key that is not a valid XML name.
    void WriteString(const std::string& secao, const std::string& chave, const std::string& valor);
    // Writes the document when Modified: through a temporary file renamed
    // over the original (a new file is readable by its owner only; an
    // existing one keeps its permissions). With Backup set, first copies the
    // file to FileName + ".bak" (a failed copy is ignored). Throws EErro and
    // leaves the file untouched when it cannot be written; Modified then
    // stays set.
    void Save();

    bool Modified() const { return modified_; }
    const std::string& FileName() const { return fileName_; }
    bool Backup = false;

private:
    struct TLiberaDoc {
        void operator()(_xmlDoc* doc) const;
    };

    bool modified_ = false;
    std::string fileName_;
    std::unique_ptr<_xmlDoc, TLiberaDoc> document_;
};
