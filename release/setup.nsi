; The setup program: puts RPX_UVDenoise.dll into the Plugins folder of a Kestrova installation and
; registers an uninstaller. The viewer's settings file beside the DLL is never touched.
; Built by scripts/release.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.2 -DDLL=<path> -DOUTFILE=<path> setup.nsi

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\RPX_UVDenoise"
; Named after the plug-in: the host's own uninstaller may well be called uninst.exe.
!define UNINSTALLER "RPX_UVDenoise-uninstall.exe"

Name "RPX_UVDenoise ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Kestrova"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "RPX_UVDenoise"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "RPX_UVDenoise ${VERSION} setup"

!define MUI_ABORTWARNING
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(HostFolderText)"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the fallback when the system's is neither.
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString HostFolderText ${LANG_RUSSIAN} "Укажите папку, в которой установлена программа Kestrova. Плагин будет помещён в её папку Plugins."
LangString HostFolderText ${LANG_ENGLISH} "Choose the folder where Kestrova is installed. The plug-in goes into its Plugins folder."
LangString DllInUse ${LANG_RUSSIAN} "Файл $INSTDIR\Plugins\RPX_UVDenoise.dll занят: вероятно, программа Kestrova запущена.$\r$\n$\r$\nЗакройте Kestrova и нажмите $\"Повтор$\"."
LangString DllInUse ${LANG_ENGLISH} "$INSTDIR\Plugins\RPX_UVDenoise.dll is in use: Kestrova is probably running.$\r$\n$\r$\nClose Kestrova and press Retry."
LangString UnDllInUse ${LANG_RUSSIAN} "Файл $INSTDIR\RPX_UVDenoise.dll занят: вероятно, программа Kestrova запущена.$\r$\n$\r$\nЗакройте Kestrova и нажмите $\"Повтор$\"."
LangString UnDllInUse ${LANG_ENGLISH} "$INSTDIR\RPX_UVDenoise.dll is in use: Kestrova is probably running.$\r$\n$\r$\nClose Kestrova and press Retry."

Section "RPX_UVDenoise"
  SetOutPath "$INSTDIR\Plugins"
  ; A DLL that a running host has loaded cannot be opened for writing: ask until it can.
  retry:
  IfFileExists "$INSTDIR\Plugins\RPX_UVDenoise.dll" 0 write
  ClearErrors
  FileOpen $0 "$INSTDIR\Plugins\RPX_UVDenoise.dll" a
  IfErrors 0 writable
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(DllInUse)" /SD IDCANCEL IDRETRY retry
  Abort
  writable:
  FileClose $0
  write:
  File "/oname=RPX_UVDenoise.dll" "${DLL}"

  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "RPX_UVDenoise"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller lives in the Plugins folder, so here $INSTDIR is that folder.
Section "Uninstall"
  retry:
  Delete "$INSTDIR\RPX_UVDenoise.dll"
  IfFileExists "$INSTDIR\RPX_UVDenoise.dll" 0 removed
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(UnDllInUse)" /SD IDCANCEL IDRETRY retry
  Abort
  removed:
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: the viewer's settings file keeps it.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
