; TUMBLA's installer, for the current user alone: no administrator rights,
; the program under %LOCALAPPDATA%\Programs, a Start-menu shortcut, and an
; uninstaller that Windows lists under the user's own uninstall key.
; makensis -DVERSION=0.01 -DVERSION_NUMBERS=0.1.0.0 -DSTAGE=<folder with the files> -DOUTFILE=<setup.exe> -DICON=<tumbla.ico> tumbla.nsi
Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TUMBLA"

Name "TUMBLA ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$LOCALAPPDATA\Programs\TUMBLA"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIProductVersion "${VERSION_NUMBERS}"
VIAddVersionKey "ProductName" "TUMBLA"
VIAddVersionKey "FileDescription" "TUMBLA ${VERSION} setup"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "The TUMBLA developers"
VIAddVersionKey "LegalCopyright" "Copyright (C) 2026 The TUMBLA developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
  SetOutPath "$INSTDIR\sample_data"
  File "${STAGE}/sample_data/sw5.mid"
  ; The shortcut's working folder is the current output path: the install
  ; folder, where the game looks for sample_data.
  SetOutPath "$INSTDIR"
  File "${STAGE}/TUMBLA.exe"
  File "${STAGE}/README.txt"
  File "${STAGE}/LICENSE.mingw-w64.txt"
  File "${STAGE}/LICENSE.gcc-runtime.txt"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  CreateShortcut "$SMPROGRAMS\TUMBLA.lnk" "$INSTDIR\TUMBLA.exe" "" "$INSTDIR\TUMBLA.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "TUMBLA"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The TUMBLA developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\TUMBLA.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

Section "Uninstall"
  Delete "$SMPROGRAMS\TUMBLA.lnk"
  Delete "$INSTDIR\sample_data\sw5.mid"
  RMDir "$INSTDIR\sample_data"
  Delete "$INSTDIR\TUMBLA.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\LICENSE.mingw-w64.txt"
  Delete "$INSTDIR\LICENSE.gcc-runtime.txt"
  Delete "$INSTDIR\Uninstall.exe"
  ; Only an empty folder goes: anything the player put there stays.
  RMDir "$INSTDIR"
  RMDir "$LOCALAPPDATA\Programs"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
