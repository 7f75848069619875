; The Windows installer of Quelvox. Built by scripts/package:
;   makensis -DVERSION=1.0.0.1 -DDIST=<program folder> -DLICENCE=<COPYING> -DOUTFILE=<setup.exe>
; Installs the program folder into Program Files, adds a Start-menu shortcut and an uninstaller
; in the list of installed programs. The "Quelvox" entry of the Send To menu is the program's to
; add, for each user who runs it: the installer runs as an administrator, who may be another
; user. /S installs and uninstalls silently.

; A 64-bit installer for a 64-bit program (and for wine without its 32-bit half).
Target amd64-unicode
!include "MUI2.nsh"

!define PRODUCT "Quelvox"
!define MAKER "Tavrenix"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; Where the program keeps its settings (the maker's key, then the program's name).
!define SETTINGS_KEY "Software\${MAKER}\${PRODUCT}"
!define PROFILE_LIST "Software\Microsoft\Windows NT\CurrentVersion\ProfileList"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
VIProductVersion "${VERSION}"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${MAKER}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "${PRODUCT} setup"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 ${MAKER}. GNU GPL."

!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENCE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunAsTheUser
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Korean"

; The uninstall entry goes into the 64-bit view of the registry, where Windows lists it.
Function .onInit
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

; The installer runs elevated, and so would a program it starts: Explorer cannot drop files onto
; an elevated window. Explorer starts it as the user instead.
Function RunAsTheUser
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\Quelvox.exe"'
FunctionEnd

Section "Quelvox"
    SetOutPath "$INSTDIR"
    File "${DIST}\Quelvox.exe"
    File "${DIST}\LANG_*.DLL"
    File "${DIST}\copying_*.txt"
    SetOutPath "$INSTDIR\bin"
    File /r "${DIST}\bin\*.*"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    SetShellVarContext all
    CreateDirectory "$SMPROGRAMS\${PRODUCT}"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk" "$INSTDIR\Quelvox.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk" "$INSTDIR\Uninstall.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${MAKER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quelvox.exe"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    ; Exactly what the installer put there, so nothing of the user's goes with it (the
    ; converted movies live beside their sources, not here).
    Delete "$INSTDIR\Quelvox.exe"
    Delete "$INSTDIR\LANG_*.DLL"
    Delete "$INSTDIR\copying_*.txt"
    RMDir /r "$INSTDIR\bin"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"

    SetShellVarContext all
    Delete "$SMPROGRAMS\${PRODUCT}\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${PRODUCT}\Uninstall ${PRODUCT}.lnk"
    RMDir "$SMPROGRAMS\${PRODUCT}"
    ; The program added a Send To entry for each user who ran it: every profile's goes.
    StrCpy $0 0
profiles:
    EnumRegKey $1 HKLM "${PROFILE_LIST}" $0
    StrCmp $1 "" profilesDone
    ReadRegStr $2 HKLM "${PROFILE_LIST}\$1" "ProfileImagePath"
    ExpandEnvStrings $2 $2
    Delete "$2\AppData\Roaming\Microsoft\Windows\SendTo\${PRODUCT}.lnk"
    IntOp $0 $0 + 1
    Goto profiles
profilesDone:
    SetShellVarContext current
    Delete "$SENDTO\${PRODUCT}.lnk"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"

    ; The settings are the user's: they go only when the user says so (never when silent).
    IfSilent keep
    MessageBox MB_YESNO|MB_ICONQUESTION "Remove your ${PRODUCT} settings (language and version) too?" IDNO keep
    DeleteRegKey HKCU "${SETTINGS_KEY}"
    DeleteRegKey /ifempty HKCU "Software\${MAKER}"
keep:
SectionEnd
