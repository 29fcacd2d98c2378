; The console's Windows installer. scripts/build-windows.sh makes it from the laid-out folder:
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.0 -DFILES=files.nsh -DREMOVE=remove.nsh
;            -DICON=pumpconsole.ico -DOUTFILE=pumpconsole-2.0-setup.exe pumpconsole.nsi
; files.nsh installs every file of the folder by name and remove.nsh deletes exactly those and
; then their folders if empty: the uninstaller removes what the installer put there and nothing
; an operator saved beside it.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "x64.nsh"

!define APPNAME "恒流恒压泵控制系统"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\pumpconsole"

Name "${APPNAME}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\PumpConsole"
InstallDirRegKey HKLM "Software\pumpconsole" "InstallDir"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "SimpChinese"

VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductName" "${APPNAME}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileDescription" "${APPNAME} 安装程序"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_SIMPCHINESE} "FileVersion" "${VERSION}"

Function .onInit
    ; The program is 64-bit; its registry entries go where 64-bit programs look.
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "${APPNAME} 需要 64 位 Windows。"
        Abort
    ${EndIf}
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Function un.onInit
    SetRegView 64
    SetShellVarContext all
FunctionEnd

Section "install"
    !include "${FILES}"
    File "/oname=$INSTDIR\pumpconsole.ico" "${ICON}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\${APPNAME}.lnk" "$INSTDIR\pumpconsole.exe" "" \
        "$INSTDIR\pumpconsole.ico" 0

    WriteRegStr HKLM "Software\pumpconsole" "InstallDir" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayName" "${APPNAME}"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTKEY}" "Publisher" "Pump console maintainers"
    WriteRegStr HKLM "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\pumpconsole.ico"
    WriteRegStr HKLM "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTKEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTKEY}" "NoRepair" 1
SectionEnd

Section "uninstall"
    Delete "$SMPROGRAMS\${APPNAME}.lnk"
    !include "${REMOVE}"
    Delete "$INSTDIR\pumpconsole.ico"
    Delete "$INSTDIR\uninstall.exe"
    ; Only if empty: whatever else an operator put there stays.
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTKEY}"
    DeleteRegKey HKLM "Software\pumpconsole"
SectionEnd
