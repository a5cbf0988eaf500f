// The type library of the drawing interface and its member table. The table
// lists IBoard's members in the order of the interface with their dispatch
// identifiers; the D-Bus object, the introspection data and pixtrel-cli's
// draw scripts are all made from it.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "automation/board.h"

namespace pixtrel::automation {

// The type library.
struct TypeLibraryFacts {
  const char* name;
  const char* helpString;
  int majorVersion;
  int minorVersion;
  int locale;
  const char* libraryGuid;
  const char* interfaceName;
  const char* interfaceHelp;
  const char* interfaceGuid;
  const char* className;
  const char* classHelp;
  const char* classGuid;
  const char* programId;
};
extern const TypeLibraryFacts kTypeLibrary;

enum class MemberKind { Method, PropertyGet, PropertyPut };
enum class ResultKind { None, Integer, Text };

struct BoardMember {
  int dispid;
  const char* name;
  MemberKind kind;
  std::vector<const char*> parameters;
  ResultKind result;
  const char* help;
  // Calls the member with one argument per parameter; result receives the
  // out value of a member that has one.
  BoardStatus (*call)(Board& board, std::span<const Variant> arguments, Variant& result);
};

// Every member in interface order (the property's read before its write).
std::span<const BoardMember> BoardMembers();

// A member by name, as script languages name it: without regard to case.
// For the property, kind tells the read from the write.
const BoardMember* FindBoardMember(std::string_view name, MemberKind kind = MemberKind::Method);

// Calls member; a wrong number of arguments is a failure like any other.
BoardStatus Invoke(Board& board, const BoardMember& member, std::span<const Variant> arguments, Variant& result);

}  // namespace pixtrel::automation
