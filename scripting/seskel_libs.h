// The four function libraries of the script library. Each installs its
// script functions as globals of a state, in its fixed order; false when the
// state refused them.
#ifndef VARNAK_SCRIPTING_SESKEL_LIBS_H
#define VARNAK_SCRIPTING_SESKEL_LIBS_H

struct lua_State;

namespace seskel {

bool InstallPublicLibrary(lua_State* L);
// destructive: also RegDeleteKey, DeleteFile and MoveFile, installed first
bool InstallClearLibrary(lua_State* L, bool destructive);
bool InstallPopupBlockLibrary(lua_State* L);
bool InstallEngineBridgeLibrary(lua_State* L);

}  // namespace seskel

#endif
