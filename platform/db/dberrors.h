// The framework's database error and the texts the framework raises.
#pragma once
#include <string>
#include <string_view>

#include "platform/rtl/ansi.h"
#include "platform/rtl/exception.h"

namespace classes {
class TComponent;
}

namespace db {

using namespace rtl::literals;

class EDatabaseError : public rtl::Exception {
 public:
  using Exception::Exception;
};

// A cast to a field class that the object does not have (a blob stream asked for a plain field).
class EInvalidCast : public rtl::Exception {
 public:
  using Exception::Exception;
};

// An operation that the class does not provide was called (the class library's abstract-call
// error).
class EAbstractError : public rtl::Exception {
 public:
  using Exception::Exception;
};
[[noreturn]] void AbstractError();

// Raises EDatabaseError with the text, prefixed by "Name: " when the component has a name.
[[noreturn]] void DatabaseError(std::string_view text, const classes::TComponent* component = nullptr);
// The same with "%s" in the text replaced by the argument.
[[noreturn]] void DatabaseErrorFmt(std::string_view text, std::string_view arg,
                                   const classes::TComponent* component = nullptr);

// Texts, code page 1252.
inline constexpr std::string_view kDataSetOpenText =
    "Não é possível realizar esta operação em um arquivo aberto"_ansi;
inline constexpr std::string_view kDataSetClosedText =
    "Não é possível realizar esta operação em um arquivo fechado"_ansi;
inline constexpr std::string_view kDataSetEmptyText =
    "Não é possível realizar esta operação em um arquivo vazio"_ansi;
inline constexpr std::string_view kDataSetReadOnlyText =
    "Não é possível modificar um arquivo somente de leitura"_ansi;
inline constexpr std::string_view kDuplicateIndexNameText = "Nome de índice duplicado '%s'"_ansi;
inline constexpr std::string_view kIndexNotFoundText = "Índice '%s' não encontrado"_ansi;
inline constexpr std::string_view kNoIndexForFieldsText = "Nenhum índice para os campos '%s'"_ansi;
inline constexpr std::string_view kFieldRequiredText = "Campo '%s' deve ter um valor";
inline constexpr std::string_view kFieldNotFoundText = "Campo '%s' não encontrado"_ansi;
inline constexpr std::string_view kFieldDefNotFoundText =
    "Definição do campo '%s' não encontrada"_ansi;
inline constexpr std::string_view kFieldTypeMismatchText = "Tipo incompatível para o campo '%s'"_ansi;
inline constexpr std::string_view kFieldSizeMismatchText =
    "Tamanho incompatível para o campo '%s', esperado: %d atual: %d"_ansi;
inline constexpr std::string_view kUnknownFieldTypeText = "Campo '%s' é de um tipo desconhecido"_ansi;
inline constexpr std::string_view kFieldNotIndexedText = "Field '%s' is not indexed and cannot be modified";
inline constexpr std::string_view kFieldReadOnlyText = "Field '%s' cannot be modified";
inline constexpr std::string_view kRecordNotFoundText = "Registro não encontrado"_ansi;
inline constexpr std::string_view kInvalidCastText = "Conversão de tipo inválida"_ansi;
inline constexpr std::string_view kParamNotFoundText = "Parâmetro '%s' não encontrado"_ansi;
inline constexpr std::string_view kAbstractErrorText = "Erro abstrato";
inline constexpr std::string_view kFieldAccessText = "Campo '%s' não pode ser acessado como "_ansi;
inline constexpr std::string_view kFieldRangeText = "Valor fora dos limites para o campo '%s': "_ansi;
inline constexpr std::string_view kFieldValueText = "'%s' não é um valor válido para o campo"_ansi;

}  // namespace db
