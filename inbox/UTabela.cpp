#include "inbox/UTabela.h"

#include <algorithm>
#include <utility>

#include "base/UErro.h"

namespace {

// Orders two values of one column: null first, then by value.
int Comparar(const TVariante& a, const TVariante& b) {
    const bool na = EhNulo(a), nb = EhNulo(b);
    if (na || nb) return na == nb ? 0 : (na ? -1 : 1);
    if (a.index() != b.index()) return a.index() < b.index() ? -1 : 1;
    if (auto s = std::get_if<std::string>(&a)) {
        // Byte comparison (char_traits<char> compares as unsigned bytes).
        const int c = s->compare(std::get<std::string>(b));
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (auto i = std::get_if<std::int32_t>(&a)) {
        const auto j = std::get<std::int32_t>(b);
        return *i < j ? -1 : (*i > j ? 1 : 0);
    }
    if (auto d = std::get_if<double>(&a)) {
        const auto e = std::get<double>(b);
        return *d < e ? -1 : (*d > e ? 1 : 0);
    }
    const auto x = std::get<TDataHora>(a), y = std::get<TDataHora>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

bool Iguais(const TVariante& a, const TVariante& b) {
    return !EhNulo(a) && !EhNulo(b) && a.index() == b.index() && Comparar(a, b) == 0;
}

std::string Cortar(std::string texto, int tamanho) {
    if (tamanho > 0 && texto.size() > static_cast<std::size_t>(tamanho)) texto.resize(static_cast<std::size_t>(tamanho));
    return texto;
}

EErro ValorInvalido(const std::string& coluna) {
    return EErro("Valor inv\xE1lido para o campo '" + coluna + "'");
}

std::string TextoPadrao(TTipoColuna tipo, const TVariante& v) {
    if (EhNulo(v)) return "";
    if (auto d = std::get_if<TDataHora>(&v)) {
        switch (tipo) {
            case TTipoColuna::Data: return d->FormatarData();
            case TTipoColuna::Hora: return d->FormatarHora();
            default: return d->FormatarDataHora();
        }
    }
    return VariantParaTexto(v);
}

}  // namespace

// ---------------------------------------------------------------- TRegistro

TVariante TRegistro::Valor(const std::string& coluna) const {
    int i;
    tabela_.ColunaExistente(coluna, i);
    return tabela_.ValorLinha(valores_, i);
}

// ---------------------------------------------------------------- TTabela

bool TTabela::TMenorChave::operator()(const TVariante& a, const TVariante& b) const { return Comparar(a, b) < 0; }

TTabela::TTabela(std::string nome) : nome_(std::move(nome)) {}

TTabela::~TTabela() {
    if (mestre_) std::erase(mestre_->detalhes_, this);
    for (TTabela* d : detalhes_) d->mestre_ = nullptr;
}

void TTabela::AdicionarColuna(TColuna coluna) {
    if (!linhas_.empty() || !EmRepouso())
        throw EErro("N\xE3o \xE9 poss\xEDvel definir colunas da tabela " + nome_ + " com registros");
    if (IndiceColuna(coluna.Nome) >= 0) throw EErro("Campo '" + coluna.Nome + "' duplicado na tabela " + nome_);
    if (coluna.Tipo == TTipoColuna::Calculada && !coluna.Calculo)
        throw EErro("Campo calculado '" + coluna.Nome + "' sem c\xE1lculo");
    colunas_.push_back(std::move(coluna));
}

void TTabela::ColunaTexto(const std::string& nome, int tamanho, const std::string& titulo) {
    AdicionarColuna(TColuna{nome, TTipoColuna::Texto, tamanho, titulo, {}, {}});
}
void TTabela::ColunaData(const std::string& nome, const std::string& titulo) {
    AdicionarColuna(TColuna{nome, TTipoColuna::Data, 0, titulo, {}, {}});
}
void TTabela::ColunaHora(const std::string& nome, const std::string& titulo) {
    AdicionarColuna(TColuna{nome, TTipoColuna::Hora, 0, titulo, {}, {}});
}
void TTabela::ColunaDataHora(const std::string& nome, const std::string& titulo) {
    AdicionarColuna(TColuna{nome, TTipoColuna::DataHora, 0, titulo, {}, {}});
}
void TTabela::ColunaInteiro(const std::string& nome, const std::string& titulo) {
    AdicionarColuna(TColuna{nome, TTipoColuna::Inteiro, 0, titulo, {}, {}});
}
void TTabela::ColunaCalculada(const std::string& nome, int tamanho, const std::string& titulo,
                              std::function<TVariante(const TRegistro&)> calculo) {
    AdicionarColuna(TColuna{nome, TTipoColuna::Calculada, tamanho, titulo, std::move(calculo), {}});
}

void TTabela::DefinirExibicao(const std::string& coluna, std::function<std::string(const TVariante&)> exibicao) {
    int i;
    ColunaExistente(coluna, i);
    colunas_[static_cast<std::size_t>(i)].Exibicao = std::move(exibicao);
    Alterou();
}

void TTabela::DefinirOrdem(const std::string& nomeIndice, std::vector<TCampoOrdem> campos) {
    std::vector<std::pair<int, bool>> ordem;
    for (const auto& c : campos) {
        int i;
        ColunaExistente(c.Coluna, i);
        ordem.emplace_back(i, c.Descendente);
    }
    nomeOrdem_ = nomeIndice;
    ordem_ = std::move(ordem);
    Ordenar();
    RefazerIndice();
    RecalcularVisiveis(atual_);
    Alterou();
}

void TTabela::LigarMestre(TTabela& mestre, const std::string& colunaMestre, const std::string& colunaDetalhe) {
    for (const TTabela* t = &mestre; t; t = t->mestre_)
        if (t == this) throw EErro("Liga\xE7\xE3o circular entre as tabelas " + nome_ + " e " + mestre.nome_);
    int im, id;
    mestre.ColunaExistente(colunaMestre, im);
    ColunaExistente(colunaDetalhe, id);
    if (mestre_) std::erase(mestre_->detalhes_, this);
    mestre_ = &mestre;
    colunaMestre_ = im;
    colunaDetalhe_ = id;
    mestre.detalhes_.push_back(this);
    RefazerIndice();
    RecalcularVisiveis(nullptr);
    fim_ = false;
    Alterou();
}

int TTabela::IndiceColuna(const std::string& nome) const {
    for (std::size_t i = 0; i < colunas_.size(); ++i)
        if (colunas_[i].Nome == nome) return static_cast<int>(i);
    return -1;
}

const TColuna& TTabela::Coluna(const std::string& nome) const {
    int i;
    return ColunaExistente(nome, i);
}

const TColuna& TTabela::ColunaExistente(const std::string& nome, int& indice) const {
    indice = IndiceColuna(nome);
    if (indice < 0) throw EErro(nome_ + ": campo '" + nome + "' n\xE3o encontrado");
    return colunas_[static_cast<std::size_t>(indice)];
}

// ---------------------------------------------------------------- values

TVariante TTabela::Converter(int indice, const TVariante& valor) const {
    const TColuna& c = colunas_[static_cast<std::size_t>(indice)];
    if (EhNulo(valor)) return TNulo{};
    const std::string* texto = std::get_if<std::string>(&valor);
    const TDataHora* dh = std::get_if<TDataHora>(&valor);
    switch (c.Tipo) {
        case TTipoColuna::Texto:
            return Cortar(VariantParaTexto(valor), c.Tamanho);
        case TTipoColuna::Data:
            if (dh) return dh->ParteData();
            if (texto) {
                if (auto d = LerData(*texto)) return *d;
                if (auto d = LerDataHora(*texto)) return d->ParteData();
            }
            throw ValorInvalido(c.Nome);
        case TTipoColuna::Hora:
            if (dh) return dh->ParteHora();
            if (texto) {
                if (auto h = LerHora(*texto)) return *h;
                // A date followed by a time gives its time; a date alone is no time.
                if (auto d = LerDataHora(*texto); d && texto->find(':') != std::string::npos) return d->ParteHora();
            }
            throw ValorInvalido(c.Nome);
        case TTipoColuna::DataHora:
            if (dh) return *dh;
            if (texto)
                if (auto d = LerDataHora(*texto)) return *d;
            throw ValorInvalido(c.Nome);
        case TTipoColuna::Inteiro:
            if (std::holds_alternative<std::int32_t>(valor)) return valor;
            if (texto || std::holds_alternative<double>(valor)) {
                if (auto d = std::get_if<double>(&valor); d && *d != static_cast<double>(static_cast<long long>(*d)))
                    throw ValorInvalido(c.Nome);
                try {
                    return VariantParaInteiro(valor);
                } catch (const EErro&) {
                }
            }
            throw ValorInvalido(c.Nome);
        case TTipoColuna::Calculada:
            break;
    }
    throw EErro("O campo '" + c.Nome + "' da tabela " + nome_ + " \xE9 calculado");
}

TVariante TTabela::ValorLinha(const std::vector<TVariante>& valores, int indice) const {
    const TColuna& c = colunas_[static_cast<std::size_t>(indice)];
    if (c.Tipo == TTipoColuna::Calculada) {
        TVariante v = c.Calculo(TRegistro(*this, valores));
        if (auto s = std::get_if<std::string>(&v)) return Cortar(*s, c.Tamanho);
        return v;
    }
    return valores[static_cast<std::size_t>(indice)];
}

const std::vector<TVariante>* TTabela::ValoresAtuais() const {
    if (!EmRepouso()) return &buffer_;
    return atual_ ? &atual_->valores : nullptr;
}

TVariante TTabela::Valor(const std::string& coluna) const {
    int i;
    ColunaExistente(coluna, i);
    const auto* v = ValoresAtuais();
    return v ? ValorLinha(*v, i) : TVariante{};
}

bool TTabela::Nulo(const std::string& coluna) const { return EhNulo(Valor(coluna)); }

std::string TTabela::Texto(const std::string& coluna) const {
    return TextoPadrao(Coluna(coluna).Tipo, Valor(coluna));
}

TDataHora TTabela::Data(const std::string& coluna) const {
    const TColuna& c = Coluna(coluna);
    if (c.Tipo != TTipoColuna::Data && c.Tipo != TTipoColuna::Hora && c.Tipo != TTipoColuna::DataHora)
        throw EErro("O campo '" + coluna + "' n\xE3o \xE9 uma data");
    const TVariante v = Valor(coluna);
    return EhNulo(v) ? TDataHora() : std::get<TDataHora>(v);
}

std::int32_t TTabela::Inteiro(const std::string& coluna) const {
    const TVariante v = Valor(coluna);
    if (EhNulo(v)) return 0;
    return VariantParaInteiro(v);
}

std::string TTabela::TextoExibicao(const std::string& coluna) const {
    const TColuna& c = Coluna(coluna);
    if (!ValoresAtuais()) return "";
    const TVariante v = Valor(coluna);
    return c.Exibicao ? c.Exibicao(v) : TextoPadrao(c.Tipo, v);
}

// ---------------------------------------------------------------- order and sets

bool TTabela::Menor(const TLinha& a, const TLinha& b) const {
    for (const auto& [indice, descendente] : ordem_) {
        const std::size_t i = static_cast<std::size_t>(indice);
        const int c = colunas_[i].Tipo == TTipoColuna::Calculada
                          ? Comparar(ValorLinha(a.valores, indice), ValorLinha(b.valores, indice))
                          : Comparar(a.valores[i], b.valores[i]);
        if (c != 0) return descendente ? c > 0 : c < 0;
    }
    return a.seq < b.seq;
}

void TTabela::Ordenar() {
    // Menor ends ties by the order of first saving: a total order.
    std::sort(linhas_.begin(), linhas_.end(),
              [this](const std::unique_ptr<TLinha>& a, const std::unique_ptr<TLinha>& b) { return Menor(*a, *b); });
}

template <typename V>
typename V::const_iterator TTabela::Posicao(const V& v, const TLinha* linha) const {
    if (!linha) return v.end();
    auto it = std::lower_bound(v.begin(), v.end(), linha,
                               [this](const auto& x, const TLinha* l) { return Menor(*x, *l); });
    return it != v.end() && &**it == linha ? it : v.end();
}

template <typename V>
std::size_t TTabela::Lugar(const V& v, const TLinha& linha) const {
    auto it = std::upper_bound(v.begin(), v.end(), linha,
                               [this](const TLinha& l, const auto& x) { return Menor(l, *x); });
    return static_cast<std::size_t>(it - v.begin());
}

void TTabela::RefazerIndice() {
    indice_.clear();
    if (!mestre_) return;
    for (const auto& l : linhas_) {
        const TVariante& chave = l->valores[static_cast<std::size_t>(colunaDetalhe_)];
        if (!EhNulo(chave)) indice_[chave].push_back(l.get());
    }
}

void TTabela::IndexarLinha(TLinha* linha) {
    if (!mestre_) return;
    const TVariante& chave = linha->valores[static_cast<std::size_t>(colunaDetalhe_)];
    if (EhNulo(chave)) return;
    std::vector<TLinha*>& grupo = indice_[chave];
    grupo.insert(grupo.begin() + static_cast<std::ptrdiff_t>(Lugar(grupo, *linha)), linha);
}

void TTabela::DesindexarLinha(TLinha* linha) {
    if (!mestre_) return;
    const auto grupo = indice_.find(linha->valores[static_cast<std::size_t>(colunaDetalhe_)]);
    if (grupo == indice_.end()) return;
    const auto it = Posicao(grupo->second, linha);
    if (it != grupo->second.end()) grupo->second.erase(it);
    if (grupo->second.empty()) indice_.erase(grupo);
}

void TTabela::RecalcularVisiveis(TLinha* preferida) {
    visiveis_.clear();
    if (!mestre_) {
        visiveis_.reserve(linhas_.size());
        for (const auto& l : linhas_) visiveis_.push_back(l.get());
    } else if (mestre_->estado_ != TEstadoTabela::Inserindo && mestre_->atual_) {
        // The rows whose detail column equals the master's column (null
        // equals nothing, a value equals only a value of its own kind).
        const TVariante chave = mestre_->ValorLinha(mestre_->atual_->valores, colunaMestre_);
        if (!EhNulo(chave))
            if (const auto grupo = indice_.find(chave); grupo != indice_.end()) visiveis_ = grupo->second;
    }
    if (Posicao(visiveis_, preferida) != visiveis_.end())
        atual_ = preferida;
    else
        atual_ = visiveis_.empty() ? nullptr : visiveis_.front();
}

int TTabela::IndiceAtual() const {
    const auto it = Posicao(visiveis_, atual_);
    return it == visiveis_.end() ? -1 : static_cast<int>(it - visiveis_.begin());
}

// ---------------------------------------------------------------- notifications

void TTabela::Alterou() {
    if (congelamentos_ > 0) {
        alteradoCongelado_ = true;
        return;
    }
    if (AoAlterar) AoAlterar(*this);
}

void TTabela::AtualizarDetalhes() {
    // A copy: a handler might link or unlink tables.
    const std::vector<TTabela*> detalhes = detalhes_;
    for (TTabela* d : detalhes) d->AoMudarMestre();
}

void TTabela::AoMudarMestre() {
    DescartarPendente();
    RecalcularVisiveis(nullptr);
    fim_ = false;
    CursorMudou();
}

void TTabela::CursorMudou() {
    AtualizarDetalhes();
    Alterou();
    if (AposRolar) AposRolar(*this);
}

void TTabela::Congelar() { ++congelamentos_; }

void TTabela::Descongelar() {
    if (congelamentos_ == 0) return;
    if (--congelamentos_ == 0) {
        alteradoCongelado_ = false;
        if (AoAlterar) AoAlterar(*this);
    }
}

// ---------------------------------------------------------------- editing

void TTabela::ConfirmarPendente() {
    if (!EmRepouso()) Gravar();
}

void TTabela::DescartarPendente() {
    estado_ = TEstadoTabela::Repouso;
    buffer_.clear();
}

void TTabela::Inserir() {
    ConfirmarPendente();
    buffer_.assign(colunas_.size(), TVariante{});
    estado_ = TEstadoTabela::Inserindo;
    AtualizarDetalhes();
    if (AposRolar) AposRolar(*this);
}

void TTabela::Editar() {
    if (!EmRepouso()) return;
    if (!atual_) throw EErro("N\xE3o h\xE1 registro atual na tabela " + nome_);
    buffer_ = atual_->valores;
    estado_ = TEstadoTabela::Editando;
}

void TTabela::Definir(const std::string& coluna, const TVariante& valor) {
    int i;
    ColunaExistente(coluna, i);
    if (EmRepouso()) throw EErro("A tabela " + nome_ + " n\xE3o est\xE1 em modo de inclus\xE3o ou edi\xE7\xE3o");
    buffer_[static_cast<std::size_t>(i)] = Converter(i, valor);
}

void TTabela::DefinirTexto(const std::string& coluna, const std::string& texto) { Definir(coluna, TVariante(texto)); }

void TTabela::Gravar() {
    if (EmRepouso()) return;
    // The row takes its place by a search in the order: the other rows stay
    // ordered, so saving costs a search and a move of pointers, not a sort.
    std::unique_ptr<TLinha> dono;
    std::ptrdiff_t antes = -1;  // the edited row's old place
    if (estado_ == TEstadoTabela::Inserindo) {
        dono = std::make_unique<TLinha>();
        dono->seq = proximaSeq_++;
        dono->valores = std::move(buffer_);
    } else {
        // Out of its place and its index group by the values it had.
        antes = Posicao(linhas_, atual_) - linhas_.cbegin();
        DesindexarLinha(atual_);
        dono = std::move(linhas_[static_cast<std::size_t>(antes)]);
        linhas_.erase(linhas_.begin() + antes);
        dono->valores = std::move(buffer_);
    }
    TLinha* linha = dono.get();
    const auto lugar = static_cast<std::ptrdiff_t>(Lugar(linhas_, *linha));
    linhas_.insert(linhas_.begin() + lugar, std::move(dono));
    IndexarLinha(linha);
    DescartarPendente();
    if (mestre_) {
        RecalcularVisiveis(linha);
    } else {
        // The visible set is the whole table: the same move as in linhas_.
        if (antes >= 0) visiveis_.erase(visiveis_.begin() + antes);
        visiveis_.insert(visiveis_.begin() + lugar, linha);
        atual_ = linha;
    }
    fim_ = false;
    CursorMudou();
}

void TTabela::Cancelar() {
    if (EmRepouso()) return;
    DescartarPendente();
    RecalcularVisiveis(atual_);
    CursorMudou();
}

void TTabela::Excluir() {
    DescartarPendente();
    const int indice = IndiceAtual();
    if (indice < 0) throw EErro("N\xE3o h\xE1 registro atual na tabela " + nome_);
    TLinha* alvo = atual_;
    DesindexarLinha(alvo);
    linhas_.erase(Posicao(linhas_, alvo));
    atual_ = nullptr;
    RecalcularVisiveis(nullptr);
    if (!visiveis_.empty())
        atual_ = visiveis_[std::min<std::size_t>(static_cast<std::size_t>(indice), visiveis_.size() - 1)];
    fim_ = false;
    CursorMudou();
}

void TTabela::Esvaziar() {
    DescartarPendente();
    linhas_.clear();
    indice_.clear();
    visiveis_.clear();
    atual_ = nullptr;
    fim_ = false;
    CursorMudou();
}

// ---------------------------------------------------------------- walks

void TTabela::Primeiro() {
    ConfirmarPendente();
    atual_ = visiveis_.empty() ? nullptr : visiveis_.front();
    fim_ = false;
    CursorMudou();
}

void TTabela::Proximo() {
    ConfirmarPendente();
    const int i = IndiceAtual();
    if (i < 0 || static_cast<std::size_t>(i) + 1 >= visiveis_.size()) {
        fim_ = true;
        return;
    }
    atual_ = visiveis_[static_cast<std::size_t>(i) + 1];
    fim_ = false;
    CursorMudou();
}

void TTabela::Anterior() {
    ConfirmarPendente();
    const int i = IndiceAtual();
    if (i <= 0) return;
    atual_ = visiveis_[static_cast<std::size_t>(i) - 1];
    fim_ = false;
    CursorMudou();
}

bool TTabela::Fim() const { return visiveis_.empty() || fim_; }

bool TTabela::Localizar(const std::string& coluna, const TVariante& valor) {
    int i;
    ColunaExistente(coluna, i);
    ConfirmarPendente();
    TVariante procurado;
    if (colunas_[static_cast<std::size_t>(i)].Tipo == TTipoColuna::Calculada) {
        procurado = valor;
    } else {
        try {
            procurado = Converter(i, valor);
        } catch (const EErro&) {
            return false;
        }
    }
    for (TLinha* l : visiveis_) {
        if (Iguais(ValorLinha(l->valores, i), procurado)) {
            atual_ = l;
            fim_ = false;
            CursorMudou();
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------- grid access

TVariante TTabela::ValorEm(int i, const std::string& coluna) const {
    int c;
    ColunaExistente(coluna, c);
    if (i < 0 || static_cast<std::size_t>(i) >= visiveis_.size())
        throw EErro(nome_ + ": registro " + std::to_string(i) + " fora da faixa");
    return ValorLinha(visiveis_[static_cast<std::size_t>(i)]->valores, c);
}

std::string TTabela::TextoExibicaoEm(int i, const std::string& coluna) const {
    const TColuna& c = Coluna(coluna);
    const TVariante v = ValorEm(i, coluna);
    return c.Exibicao ? c.Exibicao(v) : TextoPadrao(c.Tipo, v);
}

void TTabela::MoverPara(int i) {
    ConfirmarPendente();
    if (i < 0 || static_cast<std::size_t>(i) >= visiveis_.size())
        throw EErro(nome_ + ": registro " + std::to_string(i) + " fora da faixa");
    TLinha* alvo = visiveis_[static_cast<std::size_t>(i)];
    fim_ = false;
    if (alvo == atual_) return;
    atual_ = alvo;
    CursorMudou();
}
