; The Windows installer: both savers inside, the one that fits goes to the
; system folder, where the Screen Saver settings list it. Built by
; packaging/windows/CMakeLists.txt, which defines VERSION, VERSION_QUAD,
; SAVER_X86, SAVER_X64, ICON, LICENSE and OUTFILE.
;
; Silent use: setup.exe /S [/CURRENT], uninstall.exe /S.

; ANSI, so that the installer runs where the 32-bit saver does, down to
; Windows 98 Second Edition.
Unicode false
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

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

Name "Velmora"
OutFile "${OUTFILE}"
; The uninstaller's folder; the saver itself goes to the system folder.
InstallDir "$PROGRAMFILES\Velmora"
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

Section "Velmora screen saver" section_saver
  SectionIn RO
  Call native_view
  SetOutPath "$SYSDIR"
  ${If} ${IsNativeAMD64}
    File "/oname=${SAVER_FILE}" "${SAVER_X64}"
  ${Else}
    File "/oname=${SAVER_FILE}" "${SAVER_X86}"
  ${EndIf}

  CreateDirectory "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${GetSize} "$INSTDIR" "/M=uninstall.exe /S=0K /G=0" $0 $1 $2
  ${GetSize} "$SYSDIR" "/M=${SAVER_FILE} /S=0K /G=0" $3 $1 $2
  IntOp $0 $0 + $3
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
SectionEnd

; As the Screen Saver settings write it: the saver's full path (short form),
; and the saver switched on.
Section "Make Velmora the current screen saver" section_current
  GetFullPathName /SHORT $0 "$saver_path"
  ${If} $0 == ""
    StrCpy $0 "$saver_path"
  ${EndIf}
  ${If} ${IsNT}
    WriteRegStr HKCU "${DESKTOP_KEY}" SCRNSAVE.EXE "$0"
  ${Else}
    ; Windows 9x keeps the saver in SYSTEM.INI.
    WriteINIStr "$WINDIR\system.ini" boot SCRNSAVE.EXE "$0"
  ${EndIf}
  WriteRegStr HKCU "${DESKTOP_KEY}" ScreenSaveActive "1"
  ; Tells the running system, as the settings do.
  System::Call 'user32::SystemParametersInfoA(i ${SPI_SETSCREENSAVEACTIVE}, i 1, p 0, i ${SPIF_UPDATEINIFILE_SENDCHANGE})'
  DetailPrint "Velmora is the current screen saver: $0"
SectionEnd

Function .onInit
  !insertmacro require_admin
  ; A silent install leaves the current saver alone unless /CURRENT asks.
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/CURRENT" $1
    ${If} ${Errors}
      !insertmacro UnselectSection ${section_current}
    ${EndIf}
  ${EndIf}
  ; The 64-bit Program Files on x64 Windows, unless /D chose a folder.
  ${If} ${IsNativeAMD64}
  ${AndIf} $INSTDIR == "$PROGRAMFILES\Velmora"
    StrCpy $INSTDIR "$PROGRAMFILES64\Velmora"
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
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ; The uninstaller runs from a copy in the temporary folder, so it can
  ; delete itself and its folder.
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
SectionEnd
