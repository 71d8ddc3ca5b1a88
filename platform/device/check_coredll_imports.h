// The coredll.dll functions only Clockward Check and Clockward Undo import, after those every
// program imports (coredll_import_list.h), in the same form.
COREDLL_IMPORT(CeGetCurrentTrust, 1357)
