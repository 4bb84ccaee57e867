; The per-user Windows installer of the console, made by scripts/windows-build.sh:
;   makensis -DVERSION=0.1.0 -DSTAGE=<folder of the zip> -DICON=vorn.ico -DOUTFILE=vorn-0.1.0-setup.exe vorn.nsi
; (-DSIGN_COMMAND=... signs the uninstaller and the installer as they are written.)
; It needs no administrator: the program goes to %LOCALAPPDATA%\Programs\TESSALORAN Dispenser, the
; Start-menu entry and the uninstall entry are the user's own. The installed vorn.exe keeps the operator's
; files in %LOCALAPPDATA%\vorn (the mark installed.txt beside it tells it so), which neither an upgrade nor
; the uninstaller touches. /S installs and uninstalls silently; an install over an older version replaces
; the program in place.

Unicode true
; wine64 cannot run the default 32-bit stub, and the program is 64-bit anyway.
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!define PRODUCT "TESSALORAN Dispenser"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\vorn"

Name "${PRODUCT}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
; An upgrade goes where the last install went.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
Icon "${ICON}"
UninstallIcon "${ICON}"
BrandingText "${PRODUCT} ${VERSION}"

!ifdef SIGN_COMMAND
!finalize '${SIGN_COMMAND} "%1"' = 0
!uninstfinalize '${SIGN_COMMAND} "%1"' = 0
!endif

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "CompanyName" "TESSALORAN"
VIAddVersionKey /LANG=1033 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${COPYRIGHT}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
    SetOutPath "$INSTDIR"
    File "${STAGE}\vorn.exe"
    File "${STAGE}\README.md"
    File "${STAGE}\LICENSE.txt"
    SetOutPath "$INSTDIR\examples"
    File "${STAGE}\examples\*.*"
    SetOutPath "$INSTDIR\guide"
    File "${STAGE}\guide\*.*"
    SetOutPath "$INSTDIR"

    FileOpen $0 "$INSTDIR\installed.txt" w
    FileWrite $0 "Installed by the ${PRODUCT} ${VERSION} setup.$\r$\n"
    FileWrite $0 "vorn.exe beside this file keeps the operator's files (Vorn.ini, Vorn2.ini, Log, update.bat)$\r$\n"
    FileWrite $0 "in %LOCALAPPDATA%\vorn. Without this file it keeps them in its own folder, as the portable zip does.$\r$\n"
    FileClose $0

    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\vorn.exe" "" "$INSTDIR\vorn.exe" 0

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "TESSALORAN"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vorn.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

; Only what the installer put there: the operator's files are in %LOCALAPPDATA%\vorn, and anything else
; in the program's folder keeps it from being removed.
Section "Uninstall"
    Delete "$INSTDIR\vorn.exe"
    Delete "$INSTDIR\README.md"
    Delete "$INSTDIR\LICENSE.txt"
    Delete "$INSTDIR\installed.txt"
    Delete "$INSTDIR\examples\*.*"
    RMDir "$INSTDIR\examples"
    Delete "$INSTDIR\guide\*.*"
    RMDir "$INSTDIR\guide"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
