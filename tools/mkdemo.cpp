// Makes the demo installation of `make demo` under a folder:
//   <folder>/modelos  the template tables ML2 and ML6 with the newer structure, no records
//   <folder>/dados    the installed ML2 and ML6 with records and memos, and their six index files
//   <folder>/windows  the Windows directory, with tesqueln.ini pointing at <folder>/dados
// With --describe <table>, prints a table's fields and record count instead (after the run).
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/rtl/ansi.h"
#include "platform/rtl/codepage.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/inifile.h"
#include "platform/rtl/paths.h"
#include "platform/xbe/index_create.h"
#include "platform/xbe/table_create.h"
#include "platform/xbe/xbe.h"

using namespace rtl::literals;
namespace fs = std::filesystem;

namespace {

void Check(XBERESULT r) {
  if (r == 0) return;
  std::uint32_t code = 0;
  char text[601] = {};
  std::uint16_t length = 600;
  XbeGetLastError(&code, text, &length);
  throw rtl::Exception("engine error " + std::to_string(code) + ": " + text);
}

using Fields = std::vector<xbe::NewField>;

const Fields kMl2Installed = {
    {"CODCONV", xbe::kNumericText, 4, 0}, {"NOMECONV", xbe::kCharacter, 40, 0},
    {"CGC", xbe::kCharacter, 18, 0},      {"CIDADE", xbe::kCharacter, 25, 0},
    {"UF", xbe::kCharacter, 2, 0},        {"VALORCH", xbe::kNumericText, 10, 2},
    {"ATIVO", xbe::kLogical, 1, 0},       {"DTCAD", xbe::kDate, 8, 0},
    {"OBS", xbe::kMemo, 10, 0}};
const Fields kMl2Template = {
    {"CODCONV", xbe::kNumericText, 4, 0}, {"NOMECONV", xbe::kCharacter, 40, 0},
    {"CGC", xbe::kCharacter, 18, 0},      {"EMAIL", xbe::kCharacter, 50, 0},
    {"CIDADE", xbe::kCharacter, 25, 0},   {"UF", xbe::kCharacter, 2, 0},
    {"TABELA", xbe::kNumericText, 3, 0},  {"VALORCH", xbe::kNumericText, 10, 2},
    {"DESCONTO", xbe::kNumericText, 6, 2}, {"ATIVO", xbe::kLogical, 1, 0},
    {"FATURA", xbe::kLogical, 1, 0},      {"DTCAD", xbe::kDate, 8, 0},
    {"DTALT", xbe::kDate, 8, 0},          {"OBS", xbe::kMemo, 10, 0}};
const Fields kMl6Installed = {
    {"NUMCOL", xbe::kNumericText, 8, 0}, {"CODPAC", xbe::kNumericText, 6, 0},
    {"DATACOL", xbe::kDate, 8, 0},       {"HORACOL", xbe::kCharacter, 5, 0},
    {"CODCONV", xbe::kNumericText, 4, 0}, {"VALOR", xbe::kNumericText, 12, 2}};
const Fields kMl6Template = {
    {"NUMCOL", xbe::kNumericText, 8, 0}, {"CODPAC", xbe::kNumericText, 6, 0},
    {"DATACOL", xbe::kDate, 8, 0},       {"HORACOL", xbe::kCharacter, 5, 0},
    {"CODCONV", xbe::kNumericText, 4, 0}, {"VALOR", xbe::kNumericText, 12, 2},
    {"MATERIAL", xbe::kCharacter, 30, 0}, {"URGENTE", xbe::kLogical, 1, 0},
    {"QTD", xbe::kNumericText, 2, 0},    {"COLETADO", xbe::kDate, 8, 0}};

struct Convenio {
  const char* codigo;
  std::string_view nome;
  const char* cgc;
  std::string_view cidade;
  const char* uf;
  const char* valor;
  const char* ativo;
  const char* cadastro;
  std::string_view obs;
  bool apagado;
};

const Convenio kConvenios[] = {
    {"1", "ANDRÉ LUIZ"_ansi, "64023312/0001-69", "BELÉM"_ansi, "PA", "179.09", "T", "19971109", "Convênio 1"_ansi, false},
    {"2", "açaí ltda"_ansi, "93210320/0001-55", "RIO DE JANEIRO", "RJ", "29.71", "T", "20080729", "", false},
    {"3", "PEDRO", "43609612/0001-79", "BELO HORIZONTE", "MG", "74.28", "T", "20001204", "Atende aos sábados."_ansi, false},
    {"4", "BEATRIZ GONÇALVES"_ansi, "77945359/0001-00", "", "PR", "924.18", "F", "19960830", "", false},
    {"5", "JOSÉ PEREIRA"_ansi, "21851364/0001-87", "SÃO PAULO"_ansi, "SP", "-12.50", "T", "20110711", "Convênio encerrado."_ansi, true},
    {"6", "MÔNICA ALVES"_ansi, "82403927/0001-20", "CURITIBA", "PR", "968.31", "T", "", "Primeira linha\r\nSegunda linha", false},
};

struct Coleta {
  const char* numero;
  const char* paciente;
  const char* data;
  const char* hora;
  const char* convenio;
  const char* valor;
};

const Coleta kColetas[] = {
    {"7", "283538", "20230717", "20:12", "1", "90237.61"},
    {"14", "597910", "20231206", "13:05", "3", "55520.33"},
    {"21", "218753", "20220321", "05:29", "2", "65480.68"},
    {"28", "181180", "20231128", "23:57", "6", "27811.95"},
    {"35", "402117", "", "08:00", "4", "-150.00"},
};

void SetText(XBEHANDLE table, const char* field, std::string_view value) {
  Check(XbeSetField(table, field, value.data(), static_cast<std::uint32_t>(value.size())));
}

XBEHANDLE OpenExclusive(XBEHANDLE connection, const std::string& name) {
  XBEHANDLE table = 0;
  Check(XbeOpenTable(connection, name.c_str(), nullptr, XBE_NTX, XBE_OEM, XBE_COMPATIBLE_LOCKING, 0, 1, &table));
  return table;
}

void MakeInstalled(const std::string& dir) {
  xbe::CreateTable(dir + "\\ML2", xbe::TableType::kNtx, kMl2Installed);
  xbe::CreateTable(dir + "\\ML6", xbe::TableType::kNtx, kMl6Installed);
  XBEHANDLE connection = 0;
  Check(XbeConnect(dir.c_str(), &connection));

  XBEHANDLE ml2 = OpenExclusive(connection, "ML2");
  for (const Convenio& c : kConvenios) {
    Check(XbeAppendRecord(ml2));
    SetText(ml2, "CODCONV", c.codigo);
    SetText(ml2, "NOMECONV", c.nome);
    SetText(ml2, "CGC", c.cgc);
    SetText(ml2, "CIDADE", c.cidade);
    SetText(ml2, "UF", c.uf);
    SetText(ml2, "VALORCH", c.valor);
    SetText(ml2, "ATIVO", c.ativo);
    if (*c.cadastro) SetText(ml2, "DTCAD", c.cadastro);
    if (!c.obs.empty()) SetText(ml2, "OBS", c.obs);
    Check(XbeWriteRecord(ml2));
    if (c.apagado) Check(XbeDeleteRecord(ml2));
  }
  // The index files as Tulmevara keeps them (upper-case DOS names).
  xbe::CreateNtxIndex(ml2, dir + "\\ML21.NTX", "CODCONV");
  xbe::CreateNtxIndex(ml2, dir + "\\ML22.NTX", "Upper( NOMECONV )");
  xbe::CreateNtxIndex(ml2, dir + "\\ML23.NTX", "CGC");
  xbe::CreateNtxIndex(ml2, dir + "\\ML24.NTX", "UF + CIDADE");
  Check(XbeCloseTable(ml2));

  XBEHANDLE ml6 = OpenExclusive(connection, "ML6");
  for (const Coleta& c : kColetas) {
    Check(XbeAppendRecord(ml6));
    SetText(ml6, "NUMCOL", c.numero);
    SetText(ml6, "CODPAC", c.paciente);
    if (*c.data) SetText(ml6, "DATACOL", c.data);
    SetText(ml6, "HORACOL", c.hora);
    SetText(ml6, "CODCONV", c.convenio);
    SetText(ml6, "VALOR", c.valor);
    Check(XbeWriteRecord(ml6));
  }
  xbe::CreateNtxIndex(ml6, dir + "\\ML61.NTX", "NUMCOL");
  xbe::CreateNtxIndex(ml6, dir + "\\ML62.NTX", "DToS( DATACOL ) + HORACOL");
  Check(XbeCloseTable(ml6));
  Check(XbeDisconnect(connection));

}

int Describe(const std::string& path) {
  const std::string dir = rtl::ExtractFileDir(path);
  const std::string name = rtl::ExtractFileName(path);
  XBEHANDLE connection = 0, table = 0;
  Check(XbeConnect(dir.c_str(), &connection));
  Check(XbeOpenTable(connection, name.c_str(), nullptr, XBE_NTX, XBE_OEM, XBE_COMPATIBLE_LOCKING, 0, 2, &table));
  std::uint16_t count = 0;
  Check(XbeGetNumFields(table, &count));
  std::uint32_t records = 0;
  Check(XbeGetRecordCount(table, 0, &records));
  std::printf("%s: %u records, fields:", name.c_str(), records);
  for (std::uint16_t i = 1; i <= count; ++i) {
    char field[130] = {};
    std::uint16_t length = 129;
    Check(XbeGetFieldName(table, i, field, &length));
    std::printf(" %s", field);
  }
  std::printf("\n");
  Check(XbeCloseTable(table));
  Check(XbeDisconnect(connection));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    if (argc == 3 && std::strcmp(argv[1], "--describe") == 0)
      return Describe(rtl::WindowsPathOfHost(fs::absolute(argv[2]).string()));
    if (argc != 2) {
      std::fprintf(stderr, "usage: mkdemo <folder> | mkdemo --describe <table file>\n");
      return 2;
    }
    const fs::path root = fs::absolute(argv[1]);
    for (const char* sub : {"modelos", "dados", "windows"}) fs::create_directories(root / sub);
    const std::string templates = rtl::WindowsPathOfHost((root / "modelos").string());
    const std::string installed = rtl::WindowsPathOfHost((root / "dados").string());
    xbe::CreateTable(templates + "\\ML2", xbe::TableType::kNtx, kMl2Template);
    xbe::CreateTable(templates + "\\ML6", xbe::TableType::kNtx, kMl6Template);
    MakeInstalled(installed);
    rtl::TIniFile ini(rtl::WindowsPathOfHost((root / "windows" / "tesqueln.ini").string()));
    ini.WriteString("BD", "PathLIS", installed);
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "mkdemo: %s\n", rtl::AnsiToUtf8(e.what()).c_str());
    return 1;
  }
}
