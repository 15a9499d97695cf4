#include "db/UFirebird.h"

#include <ibase.h>

using namespace Firebird;

namespace fb {

IMaster* Mestre() {
    static IMaster* mestre = fb_get_master_interface();
    return mestre;
}

IUtil* Util() { return Mestre()->getUtilInterface(); }

std::string Mensagem(const IStatus* status) {
    std::string texto;
    const ISC_STATUS* vetor = status->getErrors();
    char linha[1024];
    while (fb_interpret(linha, sizeof linha, &vetor) > 0) {
        if (!texto.empty()) texto += "\r\n";
        texto += linha;
    }
    if (texto.empty()) texto = "Erro desconhecido do banco de dados.";
    return texto;
}

std::vector<std::int64_t> Codigos(const IStatus* status) {
    std::vector<std::int64_t> codigos;
    const ISC_STATUS* v = status->getErrors();
    // Each entry is a tag and its argument; a counted string takes two
    // arguments.
    for (std::size_t i = 0; v && v[i] != isc_arg_end;) {
        if (v[i] == isc_arg_gds) codigos.push_back(static_cast<std::int64_t>(v[i + 1]));
        i += v[i] == isc_arg_cstring ? 3 : 2;
    }
    return codigos;
}

namespace {

TXpb NovoDPB(ThrowStatusWrapper* st, const std::string& usuario, const std::string& senha) {
    TXpb dpb(Util()->getXpbBuilder(st, IXpbBuilder::DPB, nullptr, 0));
    dpb->insertString(st, isc_dpb_user_name, usuario.c_str());
    dpb->insertString(st, isc_dpb_password, senha.c_str());
    dpb->insertString(st, isc_dpb_lc_ctype, "WIN1252");
    return dpb;
}

}  // namespace

TRef<IAttachment> Conectar(const std::string& nome, const std::string& usuario, const std::string& senha,
                           int segundosEspera) {
    return Chamar([&](ThrowStatusWrapper* st) {
        TXpb dpb = NovoDPB(st, usuario, senha);
        if (segundosEspera > 0) dpb->insertInt(st, isc_dpb_connect_timeout, segundosEspera);
        TRef<IProvider> provedor(Mestre()->getDispatcher());
        return TRef<IAttachment>(provedor->attachDatabase(st, nome.c_str(), dpb->getBufferLength(st),
                                                          dpb->getBuffer(st)));
    });
}

TRef<IAttachment> CriarBanco(const std::string& nome, const std::string& usuario, const std::string& senha) {
    return Chamar([&](ThrowStatusWrapper* st) {
        TXpb dpb = NovoDPB(st, usuario, senha);
        dpb->insertString(st, isc_dpb_set_db_charset, "WIN1252");
        dpb->insertInt(st, isc_dpb_sql_dialect, SQL_DIALECT_V6);
        TRef<IProvider> provedor(Mestre()->getDispatcher());
        return TRef<IAttachment>(provedor->createDatabase(st, nome.c_str(), dpb->getBufferLength(st),
                                                          dpb->getBuffer(st)));
    });
}

void Desconectar(TRef<IAttachment>& att) noexcept {
    if (!att) return;
    try {
        Chamar([&](ThrowStatusWrapper* st) { att->detach(st); });
        att.release();  // detach released it
    } catch (...) {
        att.reset();
    }
}

TRef<ITransaction> IniciarTransacao(IAttachment* att) {
    return Chamar([&](ThrowStatusWrapper* st) {
        TXpb tpb(Util()->getXpbBuilder(st, IXpbBuilder::TPB, nullptr, 0));
        tpb->insertTag(st, isc_tpb_read_committed);
        tpb->insertTag(st, isc_tpb_rec_version);
        tpb->insertTag(st, isc_tpb_nowait);
        tpb->insertTag(st, isc_tpb_write);
        return TRef<ITransaction>(att->startTransaction(st, tpb->getBufferLength(st), tpb->getBuffer(st)));
    });
}

TDataHora DeData(ISC_DATE data) {
    return TDataHora((static_cast<std::int64_t>(data) - DiasAte1899) * TDataHora::MsPorDia);
}

TDataHora DeHora(ISC_TIME hora) { return TDataHora(static_cast<std::int64_t>(hora) / 10); }

TDataHora DeDataHora(const ISC_TIMESTAMP& ts) {
    return TDataHora(DeData(ts.timestamp_date).Ms() + DeHora(ts.timestamp_time).Ms());
}

ISC_DATE ParaData(const TDataHora& d) {
    return static_cast<ISC_DATE>(d.ParteData().Ms() / TDataHora::MsPorDia + DiasAte1899);
}

ISC_TIME ParaHora(const TDataHora& d) { return static_cast<ISC_TIME>(d.ParteHora().Ms() * 10); }

ISC_TIMESTAMP ParaDataHora(const TDataHora& d) {
    ISC_TIMESTAMP ts;
    ts.timestamp_date = ParaData(d);
    ts.timestamp_time = ParaHora(d);
    return ts;
}

}  // namespace fb
