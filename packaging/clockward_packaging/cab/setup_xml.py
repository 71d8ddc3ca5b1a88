"""Writes _setup.xml, the installation as the XML-based installer of Windows Mobile 5 and 6 reads
it (a provisioning document), from the installer table, in the SDK tool's parm order."""
from clockward_packaging.cab import installer_table as table
from clockward_packaging.cab.ce_folders import ce_name
from clockward_packaging.cab.provisioning_xml import characteristic, document, parm, text_of

INSTALL_DIR = "%InstallDir%"


def version(major_minor):
    return "%d.%d" % major_minor


def setup_xml():
    doc = document()
    install = characteristic(doc, "Install")
    parm(install, "InstallPhase", "install")
    parm(install, "OSVersionMin", version(table.OS_VERSION_MIN))
    parm(install, "OSVersionMax", version(table.OS_VERSION_MAX))
    parm(install, "BuildNumberMin", table.BUILD_NUMBER_MIN)
    # Written as a signed 32-bit number, as the SDK's tool does.
    parm(install, "BuildNumberMax", table.BUILD_NUMBER_MAX - (1 << 32 if table.BUILD_NUMBER_MAX >> 31 else 0))
    parm(install, "AppName", table.display_name())
    parm(install, "InstallDir", "\\".join(table.INSTALL_DIR), translate=True)
    parm(install, "NumDirs", len(table.directories()))
    parm(install, "NumFiles", len(table.FILES))
    parm(install, "NumRegKeys", 0)
    parm(install, "NumRegVals", 0)
    parm(install, "NumShortcuts", len(table.SHORTCUTS))

    operations = characteristic(doc, "FileOperation")
    program_dir = characteristic(operations, INSTALL_DIR, translate=True)
    characteristic(program_dir, "MakeDir")
    for f in table.FILES:
        extract = characteristic(characteristic(program_dir, f.name, translate=True), "Extract")
        parm(extract, "Source", table.member_name(f.id))
        if f.no_date_check:
            parm(extract, "NoDateCheck")
    # One characteristic per folder, holding each of its shortcuts: a folder's characteristic twice over
    # is a shape the real files do not show.
    folders = {}
    for s in table.SHORTCUTS:
        if s.ce_folder not in folders:
            folders[s.ce_folder] = characteristic(operations, ce_name(s.ce_folder), translate=True)
            if (ce_name(s.ce_folder),) in table.directories():
                characteristic(folders[s.ce_folder], "MakeDir")
        shortcut = characteristic(characteristic(folders[s.ce_folder], s.name, translate=True), "Shortcut")
        parm(shortcut, "Source", f"{INSTALL_DIR}\\{s.target.name}", translate=True)
    characteristic(doc, "Registry")
    return text_of(doc)
