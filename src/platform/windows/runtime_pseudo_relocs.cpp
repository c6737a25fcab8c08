// The DLL's version of the MinGW start-up step that applies pseudo
// relocations, in place of the runtime's own.
//
// The linker writes a pseudo relocation for data that a DLL exports and that
// the code uses without declaring it imported. The DLL is linked with
// --disable-auto-import and --disable-runtime-pseudo-reloc, so there are
// none: such a use fails the link instead. The runtime's version would find
// its list empty and do nothing, but brings a reporter of bad relocations
// with MinGW's printf and a walk of the PE sections, some 4 KB.
extern "C" void _pei386_runtime_relocator() {}
