// The class registry: class name -> class information, so that a stored form description can
// create a component by its class name (the "virtual constructor"). A form's own published
// fields already make their classes known to the reader of that form (classbuilder.h, Field);
// everything else is registered once at start-up:
//
//   classes::RegisterClass<TTimer>();
//   TComponent* c = classes::FindClass("TTimer").Create(owner);   // owned by `owner`
#pragma once
#include <string_view>

#include "platform/classes/typeinfo.h"

namespace classes {

// Registering the same class again does nothing; another class of the same name raises
// EFilerError.
void RegisterClass(const TClassInfo& info);
template <class T>
void RegisterClass() {
  RegisterClass(T::StaticClassInfo());
}
void UnRegisterClass(const TClassInfo& info);

// By name, case-insensitive: nullptr when unknown.
const TClassInfo* GetClass(std::string_view name);
// By name; raises EClassNotFound "Classe <name> não encontrada" when unknown.
const TClassInfo& FindClass(std::string_view name);

}  // namespace classes
