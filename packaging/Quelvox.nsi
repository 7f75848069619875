; The Windows installer of Quelvox. Built by scripts/package:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0.1 -DRUNNING_MUTEX=<name> -DDIST=<program folder>
;            -DLICENCE=<COPYING> -DOUTFILE=<setup.exe>
; Installs the program folder into Program Files, adds a Start-menu shortcut and an uninstaller
; in the list of installed programs. The "Quelvox" entry of the Send To menu is the program's to
; add, for each user who runs it: the installer runs as an administrator, who may be another
; user. /S installs and uninstalls silently.
; Windows cannot replace or delete the files of a running program. While Quelvox runs (it holds
; the mutex RUNNING_MUTEX) or one of its programs in the folder is in use, setup and uninstall
; ask the user to close it; silent, or cancelled, they end with exit code 2 and change nothing.

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
; A file that cannot be written ends the installation instead of being left at its old
; version beside new ones (silent, the default answer was to skip it).
AllowSkipFiles off
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

LangString QuelvoxRunning ${LANG_ENGLISH} "Quelvox is running. Close it, then press Retry. Cancel leaves everything as it is."
LangString QuelvoxRunning ${LANG_KOREAN} "Quelvox가 실행 중입니다. Quelvox를 닫은 뒤 [다시 시도]를 누르세요. [취소]를 누르면 아무것도 바뀌지 않습니다."
LangString NotAllRemoved ${LANG_ENGLISH} "Some files of Quelvox could not be removed from $INSTDIR. Quelvox stays in the list of installed programs: close what uses them and uninstall it again."
LangString NotAllRemoved ${LANG_KOREAN} "Quelvox의 파일 일부를 $INSTDIR에서 지우지 못했습니다. Quelvox는 설치된 프로그램 목록에 남아 있습니다. 그 파일을 쓰는 프로그램을 닫고 다시 제거하세요."

; The same functions for setup and for uninstall, whose functions must be named un.*.
!macro RUNNING_CHECKS un
; Sets $0 to 1 when the mutex named $R1 is there. One another user made may refuse to open
; (access denied): it is there all the same.
Function ${un}MutexThere
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w R1) p.r1 ?e'
    Pop $2
    StrCmp $1 "0" notOpened
    System::Call 'kernel32::CloseHandle(p r1)'
    StrCpy $0 1
notOpened:
    StrCmp $2 "5" 0 done
    StrCpy $0 1
done:
FunctionEnd

; Sets $0 to 1 when a file in the folder $R1 named like $R2 cannot be opened for writing: a
; running program, or a library one has loaded.
Function ${un}FilesInUse
    FindFirst $R3 $R4 "$R1\$R2"
next:
    StrCmp $R4 "" done
    ClearErrors
    FileOpen $R5 "$R1\$R4" a
    IfErrors busy
    FileClose $R5
    FindNext $R3 $R4
    Goto next
busy:
    StrCpy $0 1
done:
    FindClose $R3
FunctionEnd

; Sets $0 to 1 while Quelvox runs, here or from another folder, in this session or another, or
; while one of the folder's programs or libraries is in use (an engine, an older Quelvox).
Function ${un}QuelvoxInUse
    StrCpy $0 0
    StrCpy $R1 "Local\${RUNNING_MUTEX}"
    Call ${un}MutexThere
    StrCpy $R1 "Global\${RUNNING_MUTEX}"
    Call ${un}MutexThere
    StrCpy $R1 "$INSTDIR"
    StrCpy $R2 "Quelvox.exe"
    Call ${un}FilesInUse
    StrCpy $R2 "LANG_*.DLL"
    Call ${un}FilesInUse
    StrCpy $R1 "$INSTDIR\bin"
    StrCpy $R2 "*.exe"
    Call ${un}FilesInUse
FunctionEnd

; Returns once Quelvox is closed. Cancel, and a silent run (which cannot ask), end here with
; exit code 2, before anything has changed.
Function ${un}WaitUntilQuelvoxIsClosed
retry:
    Call ${un}QuelvoxInUse
    StrCmp $0 0 closed
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(QuelvoxRunning)" /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
closed:
FunctionEnd
!macroend
!insertmacro RUNNING_CHECKS ""
!insertmacro RUNNING_CHECKS "un."

; The uninstall entry goes into the 64-bit view of the registry, where Windows lists it.
; Quelvox is asked to close before the first page; again before the files, as it may have been
; started meanwhile.
Function .onInit
    SetRegView 64
    Call WaitUntilQuelvoxIsClosed
FunctionEnd

Function un.onInit
    SetRegView 64
    Call un.WaitUntilQuelvoxIsClosed
FunctionEnd

; The installer runs elevated, and so would a program it starts: Explorer cannot drop files onto
; an elevated window. Explorer starts it as the user instead.
Function RunAsTheUser
    Exec '"$WINDIR\explorer.exe" "$INSTDIR\Quelvox.exe"'
FunctionEnd

Section "Quelvox"
    Call WaitUntilQuelvoxIsClosed
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
    Call un.WaitUntilQuelvoxIsClosed
    ; Exactly what the installer put there, so nothing of the user's goes with it (the
    ; converted movies live beside their sources, not here).
    Delete "$INSTDIR\Quelvox.exe"
    Delete "$INSTDIR\LANG_*.DLL"
    Delete "$INSTDIR\copying_*.txt"
    RMDir /r "$INSTDIR\bin"
    ; A file that could not go (held open by another program, a folder that refused) keeps the
    ; way back: the uninstaller, its entry and the shortcuts stay, and the user is told.
    IfFileExists "$INSTDIR\Quelvox.exe" notAllRemoved
    IfFileExists "$INSTDIR\LANG_*.DLL" notAllRemoved
    IfFileExists "$INSTDIR\copying_*.txt" notAllRemoved
    IfFileExists "$INSTDIR\bin\*.*" notAllRemoved
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
    Return
notAllRemoved:
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(NotAllRemoved)" /SD IDOK
    SetErrorLevel 2
SectionEnd
