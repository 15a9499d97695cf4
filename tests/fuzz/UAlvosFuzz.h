// What the fuzz targets do with one input, shared with the regression test
// that replays the inputs they found (tests/data/regressao/<alvo>/). Each
// function returns the empty text when the input was handled soundly, else a
// description of the fault. Crashes and sanitizer reports show up on their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The bytes become pasta/pedido.xml; TLeitorPedidos reads it (with the log in
// pasta/log.txt, removed afterwards) and every value of every request table
// is read back, calculated columns included. A file that cannot be parsed
// (EErroXML) is an expected outcome; any other exception is a fault.
std::string ExercitarLeitor(const std::string& pasta, const std::uint8_t* dados, std::size_t tamanho);

// The bytes become pasta/config.xml; TXMLConfig loads it and reads every key
// the program uses. EErroXML is an expected outcome. Then one value is
// written and saved, and the file loaded again: the written value must read
// back unchanged and every other key must keep its value.
std::string ExercitarConfig(const std::string& pasta, const std::uint8_t* dados, std::size_t tamanho);

// A private folder (on /dev/shm when there is one, as the inputs are written
// and flushed at every run), removed with its content when the object goes.
class TPastaFuzz {
public:
    explicit TPastaFuzz(const std::string& nome);
    ~TPastaFuzz();
    TPastaFuzz(const TPastaFuzz&) = delete;
    TPastaFuzz& operator=(const TPastaFuzz&) = delete;
    const std::string& Caminho() const { return caminho_; }

private:
    std::string caminho_;
};
