// The coredll.dll functions only Clockward Check imports, after those both programs import
// (coredll_import_list.h), in the same form.
COREDLL_IMPORT(CeGetCurrentTrust, 1357)
