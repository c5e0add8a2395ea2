; The Windows installer: a per-user install (no administrator rights) into
; %LOCALAPPDATA%\Programs\Grappix, a Start-menu entry, and an uninstaller listed in the
; system's "Apps". Built by scripts/build-windows:
;   makensis -DVERSION=<x.y.z> -DSTAGE=<the staged folder> -DOUTFILE=<setup.exe> -DICON=<ico>
Unicode true
!include "MUI2.nsh"

Name "Grappix"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Grappix"
InstallDirRegKey HKCU "Software\Grappix" "InstallDir"
SetCompressor /SOLID lzma
!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Grappix"

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Grappix"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${STAGE}\*.*"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Grappix"
  CreateShortcut "$SMPROGRAMS\Grappix\Grappix.lnk" "$INSTDIR\grappix.exe" "" "$INSTDIR\grappix.exe" 0
  CreateShortcut "$SMPROGRAMS\Grappix\Uninstall Grappix.lnk" "$INSTDIR\Uninstall.exe"
  WriteRegStr HKCU "Software\Grappix" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Grappix"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\grappix.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The player's settings, records and replays (%APPDATA%\Grappix, %LOCALAPPDATA%\Grappix) are
; theirs: the uninstaller removes only what the installer put down.
Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Grappix\Grappix.lnk"
  Delete "$SMPROGRAMS\Grappix\Uninstall Grappix.lnk"
  RMDir "$SMPROGRAMS\Grappix"
  RMDir /r "$INSTDIR\Data"
  Delete "$INSTDIR\*.dll"
  Delete "$INSTDIR\grappix.exe"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Grappix"
SectionEnd
