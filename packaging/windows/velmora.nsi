; The Windows installer: both savers inside, the one that fits goes to the
; system folder, where the Screen Saver settings list it. Built by
; packaging/windows/CMakeLists.txt, which defines VERSION, VERSION_QUAD,
; SAVER_X86, SAVER_X64, ICON, LICENSE and OUTFILE.
;
; Silent use: setup.exe /S [/CURRENT], uninstall.exe /S.
; Exit codes: 0 installed; 2 nothing installed (a file could not be written,
; velmora.scr in use, or the install cancelled; everything put back as it
; was, an earlier installation's uninstaller and entry too); 740 not run as
; an administrator. The uninstaller, when run with
; _?=FOLDER so that its exit code is its own: 3010 when velmora.scr is in
; use and goes only at the next start of Windows.

; ANSI, so that the installer runs where the 32-bit saver does, down to
; Windows 98 Second Edition.
Unicode false
SetCompressor /SOLID lzma
; The files' times are not packed: the same savers give the same installer,
; whenever they were built (makensis ignores SOURCE_DATE_EPOCH).
SetDateSave off
RequestExecutionLevel admin
ManifestDPIAware true
; A file that cannot be written stops the install: never skipped, least of
; all by a silent install, which would answer "Ignore" by itself.
AllowSkipFiles off

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WinVer.nsh
!include x64.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velmora"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SAVER_FILE "velmora.scr"
!define SPI_SETSCREENSAVEACTIVE 17
!define SPIF_UPDATEINIFILE_SENDCHANGE 3
!define ERROR_SUCCESS_REBOOT_REQUIRED 3010

Name "Velmora"
OutFile "${OUTFILE}"
; The uninstaller's folder; the saver itself goes to the system folder. An
; upgrade stays in the earlier installation's folder, which may have been
; chosen with /D: read here where the entry is in the installer's own
; registry view, and by .onInit from the 64-bit view on x64 Windows.
InstallDir "$PROGRAMFILES\Velmora"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" InstallLocation
BrandingText "Velmora ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey ProductName "Velmora"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "Velmora screen saver setup"
VIAddVersionKey CompanyName "Velmora"
VIAddVersionKey LegalCopyright "Copyright (c) 2026 the Velmora developers, MIT licence"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
; The licence, shown before anything is installed; a silent install shows
; no page at all.
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE English

Var saver_path
; The old saver's copy, put back should the install fail.
Var saver_backup
Var had_saver
; An earlier installation's uninstall entry, its values kept in
; $PLUGINSDIR\entry.ini, and its uninstaller, kept in a copy beside it.
Var had_entry
Var had_uninstaller
; How far the install got, for .onInstFailed: 0 nothing changed, 1 the saver
; written (or being written), 2 the uninstaller and its entry, 3 the current
; saver.
Var step
; The current-saver values before, and whether there were any.
Var old_scrnsave
Var had_scrnsave
Var old_active
Var had_active
; The account whose current saver the installer sets: HKCU is the profile of
; the account the installer runs as, which after an administrator's password
; typed for a standard user is the administrator's, not the user's.
Var account

; The native system folder and registry view: 64-bit ones on x64 Windows
; (redirection off, so that this 32-bit program reaches System32 itself).
; On other 64-bit Windows (ARM64) the 32-bit saver runs emulated and goes
; where 32-bit programs see System32. Called in the sections: redirection
; is per thread, and the pages run the sections on a thread of their own.
; Should redirection stay on, the 64-bit saver would land in SysWOW64, where
; no 64-bit program looks: better to stop.
!macro native_view un
Function ${un}native_view
  ${If} ${IsNativeAMD64}
    System::Call "kernel32::Wow64DisableWow64FsRedirection(*p .r0) i .r1"
    ${If} $1 == 0
      Abort "Cannot reach the 64-bit system folder."
    ${EndIf}
    SetRegView 64
  ${EndIf}
  StrCpy $saver_path "$SYSDIR\${SAVER_FILE}"
  StrCpy $saver_backup "$SYSDIR\${SAVER_FILE}.old"
FunctionEnd
!macroend
!insertmacro native_view ""
!insertmacro native_view "un."

; Only an administrator may write to the system folder (any user may on
; Windows 9x, where there are no such rights).
!macro require_admin
  UserInfo::GetAccountType
  Pop $0
  ${If} ${IsNT}
  ${AndIf} $0 != "Admin"
    MessageBox MB_ICONSTOP "Velmora installs into the system folder: run this as an administrator." /SD IDOK
    SetErrorLevel 740
    Quit
  ${EndIf}
!macroend

; Stops the install with MESSAGE; .onInstFailed puts back what was changed.
!macro fail message
  DetailPrint "${message}"
  MessageBox MB_ICONSTOP "${message}" /SD IDOK
  SetErrorLevel 2
  Abort
!macroend

; Files first, and only then the uninstall entry and the current saver. The
; saver is written in place over the old one, kept in a copy until the
; install is through: a saver in use (running, or previewed in the Screen
; Saver settings) cannot be opened for writing, and a failed write takes the
; old one back.
Section "Velmora screen saver" section_saver
  SectionIn RO
  Call native_view
  StrCpy $step 0
  ClearErrors
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" UninstallString
  ${If} ${Errors}
    StrCpy $had_entry 0
  ${Else}
    StrCpy $had_entry 1
  ${EndIf}

  Delete "$saver_backup"
  StrCpy $had_saver 0
  ${If} ${FileExists} "$saver_path"
    System::Call 'kernel32::CopyFileA(t "$saver_path", t "$saver_backup", i 0) i .r0'
    ${If} $0 == 0
      Delete "$saver_backup"
      !insertmacro fail "Cannot copy the old $saver_path aside: nothing was installed."
    ${EndIf}
    StrCpy $had_saver 1
  ${EndIf}

  SetOutPath "$SYSDIR"
  ; "try": a file that cannot be opened sets the error flag instead of
  ; asking, so that the check below answers for it.
  SetOverwrite try
write_saver:
  StrCpy $step 1
  ClearErrors
  ${If} ${IsNativeAMD64}
    File "/oname=${SAVER_FILE}" "${SAVER_X64}"
  ${Else}
    File "/oname=${SAVER_FILE}" "${SAVER_X86}"
  ${EndIf}
  ${If} ${Errors}
    ; Not opened, so not touched.
    StrCpy $step 0
    MessageBox MB_ICONEXCLAMATION|MB_RETRYCANCEL "$saver_path is in use (the screen saver running, or shown by the Screen Saver settings) or cannot be written.$\r$\n$\r$\nClose it and click Retry, or Cancel to stop." /SD IDCANCEL IDRETRY write_saver
    Delete "$saver_backup"
    !insertmacro fail "Cannot write $saver_path: nothing was installed."
  ${EndIf}
  SetOverwrite on

  Call keep_entry
  Delete "$INSTDIR\uninstall.exe.old"
  StrCpy $had_uninstaller 0
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
  ${AndIfNot} ${FileExists} "$INSTDIR\uninstall.exe\*.*"
    System::Call 'kernel32::CopyFileA(t "$INSTDIR\uninstall.exe", t "$INSTDIR\uninstall.exe.old", i 0) i .r0'
    ${If} $0 == 0
      Delete "$INSTDIR\uninstall.exe.old"
      !insertmacro fail "Cannot copy the old $INSTDIR\uninstall.exe aside: nothing was installed."
    ${EndIf}
    StrCpy $had_uninstaller 1
  ${EndIf}

  StrCpy $step 2
  CreateDirectory "$INSTDIR"
  ClearErrors
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${If} ${Errors}
    !insertmacro fail "Cannot write $INSTDIR\uninstall.exe: nothing was installed."
  ${EndIf}

  ${GetSize} "$INSTDIR" "/M=uninstall.exe /S=0K /G=0" $0 $1 $2
  ${GetSize} "$SYSDIR" "/M=${SAVER_FILE} /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
  ClearErrors
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayName "Velmora screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" Publisher "Velmora"
  ; The first icon group of the saver: its own picture.
  WriteRegStr HKLM "${UNINSTALL_KEY}" DisplayIcon "$saver_path,0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" EstimatedSize $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" NoRepair 1
  ${If} ${Errors}
    !insertmacro fail "Cannot write the uninstall entry: nothing was installed."
  ${EndIf}
SectionEnd

; As the Screen Saver settings write it: the saver's full path (short form),
; and the saver switched on.
Section "Make Velmora the current screen saver" section_current
  GetFullPathName /SHORT $0 "$saver_path"
  ${If} $0 == ""
    StrCpy $0 "$saver_path"
  ${EndIf}
  ClearErrors
  ${If} ${IsNT}
    ReadRegStr $old_scrnsave HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
  ${Else}
    ReadINIStr $old_scrnsave "$WINDIR\system.ini" boot SCRNSAVE.EXE
  ${EndIf}
  ${If} ${Errors}
    StrCpy $had_scrnsave 0
  ${Else}
    StrCpy $had_scrnsave 1
  ${EndIf}
  ClearErrors
  ReadRegStr $old_active HKCU "${DESKTOP_KEY}" ScreenSaveActive
  ${If} ${Errors}
    StrCpy $had_active 0
  ${Else}
    StrCpy $had_active 1
  ${EndIf}

  StrCpy $step 3
  ClearErrors
  ${If} ${IsNT}
    WriteRegStr HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE "$0"
  ${Else}
    ; Windows 9x keeps the saver in SYSTEM.INI.
    WriteINIStr "$WINDIR\system.ini" boot SCRNSAVE.EXE "$0"
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" ScreenSaveActive "1"
  ${If} ${Errors}
    !insertmacro fail "Cannot make Velmora the current screen saver: nothing was installed."
  ${EndIf}
  ; Tells the running system, as the settings do; the values are written
  ; already, so a refusal only delays them to the next logon.
  System::Call 'user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE}) i .r1'
  ${If} $1 == 0
    DetailPrint "Windows takes the new screen saver at the next logon"
  ${EndIf}
  DetailPrint "Velmora is the current screen saver of the account $account: $0"
SectionEnd

; Everything is in place: the old saver's and uninstaller's copies are not
; needed any more, nor an earlier installation's uninstaller in another
; folder (chosen with /D), which the entry no longer names.
Section "-done"
  Delete "$saver_backup"
  Delete "$INSTDIR\uninstall.exe.old"
  ReadINIStr $0 "$PLUGINSDIR\entry.ini" string InstallLocation
  ${If} $0 != ""
  ${AndIf} $0 != $INSTDIR
    Delete "$0\uninstall.exe"
    RMDir "$0"
  ${EndIf}
SectionEnd

; Runs MACRO KIND NAME for each value the entry gets.
!macro for_each_entry_value macro
  !insertmacro ${macro} string DisplayName
  !insertmacro ${macro} string DisplayVersion
  !insertmacro ${macro} string Publisher
  !insertmacro ${macro} string DisplayIcon
  !insertmacro ${macro} string InstallLocation
  !insertmacro ${macro} string UninstallString
  !insertmacro ${macro} string QuietUninstallString
  !insertmacro ${macro} dword EstimatedSize
  !insertmacro ${macro} dword NoModify
  !insertmacro ${macro} dword NoRepair
!macroend

; An earlier installation's value in $PLUGINSDIR\entry.ini; an absent one
; left out.
!macro keep_value kind name
  ClearErrors
  !if ${kind} == string
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" ${name}
  !else
    ReadRegDWORD $0 HKLM "${UNINSTALL_KEY}" ${name}
  !endif
  ${IfNot} ${Errors}
    ; In quotes, which reading takes away: a value's own quotes and blanks
    ; at either end stay.
    WriteINIStr "$PLUGINSDIR\entry.ini" ${kind} ${name} `"$0"`
  ${EndIf}
!macroend

; The kept value back, or the value removed when the entry had none.
!macro restore_value kind name
  ClearErrors
  ReadINIStr $0 "$PLUGINSDIR\entry.ini" ${kind} ${name}
  ${If} ${Errors}
    DeleteRegValue HKLM "${UNINSTALL_KEY}" ${name}
  !if ${kind} == string
  ${Else}
    WriteRegStr HKLM "${UNINSTALL_KEY}" ${name} $0
  !else
  ${Else}
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" ${name} $0
  !endif
  ${EndIf}
!macroend

Function keep_entry
  InitPluginsDir
  Delete "$PLUGINSDIR\entry.ini"
  !insertmacro for_each_entry_value keep_value
FunctionEnd

Function restore_entry
  !insertmacro for_each_entry_value restore_value
FunctionEnd

; Puts back what the sections changed, newest first. Runs on the pages'
; own thread, so the redirection is switched off again here.
Function .onInstFailed
  Call native_view
  ${If} $step >= 3
    ${If} ${IsNT}
      ${If} $had_scrnsave == 1
        WriteRegStr HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE "$old_scrnsave"
      ${Else}
        DeleteRegValue HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
      ${EndIf}
    ${ElseIf} $had_scrnsave == 1
      WriteINIStr "$WINDIR\system.ini" boot SCRNSAVE.EXE "$old_scrnsave"
    ${Else}
      DeleteINIStr "$WINDIR\system.ini" boot SCRNSAVE.EXE
    ${EndIf}
    ${If} $had_active == 1
      WriteRegStr HKCU "${DESKTOP_KEY}" ScreenSaveActive "$old_active"
    ${Else}
      DeleteRegValue HKCU "${DESKTOP_KEY}" ScreenSaveActive
    ${EndIf}
  ${EndIf}
  ; An earlier installation gets its entry and uninstaller back.
  ${If} $step >= 2
    ${If} $had_entry == 1
      Call restore_entry
    ${Else}
      DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ${EndIf}
    Delete "$INSTDIR\uninstall.exe"
    ${If} $had_uninstaller == 1
      Rename "$INSTDIR\uninstall.exe.old" "$INSTDIR\uninstall.exe"
    ${Else}
      RMDir "$INSTDIR"
    ${EndIf}
  ${EndIf}
  ; Also a saver cut short by a full disk.
  ${If} $step >= 1
    Delete "$saver_path"
    ${If} $had_saver == 1
      Rename "$saver_backup" "$saver_path"
    ${EndIf}
  ${EndIf}
  Delete "$saver_backup"
  SetErrorLevel 2
FunctionEnd

Function .onInit
  !insertmacro require_admin
  StrCpy $step 0
  ; Named on the components page and in the details.
  ClearErrors
  UserInfo::GetName
  Pop $account
  ${If} ${Errors}
  ${OrIf} $account == ""
    StrCpy $account "running this installer"
  ${EndIf}
  SectionSetText ${section_current} "Make Velmora the current screen saver of the account $account"
  ; A silent install leaves the current saver alone unless /CURRENT asks.
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/CURRENT" $1
    ${If} ${Errors}
      !insertmacro UnselectSection ${section_current}
    ${EndIf}
  ${EndIf}
  ; On x64 Windows, unless /D chose a folder: the earlier installation's,
  ; else the 64-bit Program Files.
  ${If} ${IsNativeAMD64}
  ${AndIf} $INSTDIR == "$PROGRAMFILES\Velmora"
    SetRegView 64
    ReadRegStr $0 HKLM "${UNINSTALL_KEY}" InstallLocation
    SetRegView default
    ${If} $0 == ""
      StrCpy $0 "$PROGRAMFILES64\Velmora"
    ${EndIf}
    StrCpy $INSTDIR $0
  ${EndIf}
FunctionEnd

Function un.onInit
  !insertmacro require_admin
FunctionEnd

; True when VALUE names the installed saver, in its long or short form.
!macro names_velmora value long short result
  StrCpy ${result} 0
  ${If} ${value} != ""
    ${If} ${value} == ${long}
    ${OrIf} ${value} == ${short}
      StrCpy ${result} 1
    ${EndIf}
  ${EndIf}
!macroend

Section "Uninstall"
  Call un.native_view
  GetFullPathName /SHORT $1 "$saver_path"

  ; The current-saver value goes only when it still names Velmora.
  ${If} ${IsNT}
    ReadRegStr $0 HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
    !insertmacro names_velmora $0 $saver_path $1 $2
    ${If} $2 == 1
      DeleteRegValue HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE
      DetailPrint "Velmora is no longer the current screen saver"
    ${EndIf}
  ${Else}
    ReadINIStr $0 "$WINDIR\system.ini" boot SCRNSAVE.EXE
    !insertmacro names_velmora $0 $saver_path $1 $2
    ${If} $2 == 1
      DeleteINIStr "$WINDIR\system.ini" boot SCRNSAVE.EXE
    ${EndIf}
  ${EndIf}

  Delete /REBOOTOK "$saver_path"
  ; A saver in use (running or previewed) goes only at the next start.
  ${If} ${RebootFlag}
    DetailPrint "$saver_path is in use: it goes at the next start of Windows"
    MessageBox MB_ICONINFORMATION "$saver_path is in use: it will be removed at the next start of Windows." /SD IDOK
    SetErrorLevel ${ERROR_SUCCESS_REBOOT_REQUIRED}
  ${EndIf}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The uninstaller runs from a copy in the temporary folder, so it can
  ; delete itself and its folder.
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
