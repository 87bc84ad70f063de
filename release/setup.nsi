; The setup program: puts RPX_UVDenoise.dll and its guides into the Plugins folder of a Kestrova
; installation and registers an uninstaller. The viewer's settings file beside the DLL is never touched.
; Built by scripts/release.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.2 -DDLL=<path> -DGUIDE_RU=<path> -DGUIDE_EN=<path>
;            -DOUTFILE=<path> setup.nsi
; $INSTDIR is Kestrova's folder; a Plugins folder chosen in its place stands for the folder above it.
; Silent install (/S /D=<folder>) follows the same rules and refuses, with exit code 2, a folder that
; holds neither a Plugins folder nor a program: there the host would never find the plug-in.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\RPX_UVDenoise"
; Named after the plug-in: the host's own uninstaller may well be called uninst.exe.
!define UNINSTALLER "RPX_UVDenoise-uninstall.exe"
!define PUBLISHER "RPX_UVDenoise developers"

Name "RPX_UVDenoise ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\Kestrova"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "RPX_UVDenoise ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "RPX_UVDenoise"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "RPX_UVDenoise ${VERSION} setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!define MUI_ABORTWARNING
!define MUI_PAGE_HEADER_TEXT "$(HostFolderTitle)"
!define MUI_PAGE_HEADER_SUBTEXT "$(HostFolderSubtitle)"
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(HostFolderText)"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "$(HostFolderLabel)"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE HostFolderLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "$(FinishInstalled)$\r$\n$\r$\n$(FinishTurnOn)$\r$\n$\r$\n$(FinishSettings)$\r$\n$\r$\n$(FinishMore)"
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(UninstallText)"
!define MUI_UNCONFIRMPAGE_TEXT_LOCATION "$(UninstallFrom)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the fallback when the system's is neither.
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString HostFolderTitle ${LANG_RUSSIAN} "Папка программы Kestrova"
LangString HostFolderTitle ${LANG_ENGLISH} "Kestrova's folder"
LangString HostFolderSubtitle ${LANG_RUSSIAN} "Укажите, где установлена программа Kestrova."
LangString HostFolderSubtitle ${LANG_ENGLISH} "Choose where Kestrova is installed."
LangString HostFolderText ${LANG_RUSSIAN} "Укажите папку, в которой установлена программа Kestrova: в ней лежат сама программа и папка Plugins. Плагин будет помещён в эту папку Plugins. Если указать саму папку Plugins, плагин будет помещён прямо в неё."
LangString HostFolderText ${LANG_ENGLISH} "Choose the folder Kestrova is installed in: it holds the program itself and its Plugins folder. The plug-in goes into that Plugins folder. If you choose the Plugins folder itself, the plug-in goes straight into it."
LangString HostFolderLabel ${LANG_RUSSIAN} "Папка программы Kestrova"
LangString HostFolderLabel ${LANG_ENGLISH} "Kestrova's folder"
LangString NoHostHere ${LANG_RUSSIAN} "В папке$\r$\n$INSTDIR$\r$\nнет ни папки Plugins, ни программы. Похоже, Kestrova установлена не здесь, и отсюда она плагин не загрузит.$\r$\n$\r$\nВсё равно установить плагин сюда?"
LangString NoHostHere ${LANG_ENGLISH} "The folder$\r$\n$INSTDIR$\r$\nholds neither a Plugins folder nor a program. Kestrova does not seem to be installed here, and would not load the plug-in from it.$\r$\n$\r$\nInstall the plug-in here anyway?"
LangString FileInUse ${LANG_RUSSIAN} "Файл $R0 занят: вероятно, программа Kestrova запущена.$\r$\n$\r$\nЗакройте Kestrova и нажмите $\"Повтор$\"."
LangString FileInUse ${LANG_ENGLISH} "$R0 is in use: Kestrova is probably running.$\r$\n$\r$\nClose Kestrova and press Retry."
; The finish page's words on turning the filter on and on the settings stand word for word in the guides.
LangString FinishInstalled ${LANG_RUSSIAN} "Плагин RPX_UVDenoise установлен в папку$\r$\n$INSTDIR\Plugins"
LangString FinishInstalled ${LANG_ENGLISH} "RPX_UVDenoise is installed in$\r$\n$INSTDIR\Plugins"
LangString FinishTurnOn ${LANG_RUSSIAN} "Чтобы включить фильтр, запустите Kestrova, откройте из списка плагинов $\"Уменьшение цветового шума$\" и отметьте флажок $\"Вкл.$\": до этого фильтр выключен."
LangString FinishTurnOn ${LANG_ENGLISH} "To turn the filter on, start Kestrova, open $\"Уменьшение цветового шума$\" (colour noise reduction) from its list of plug-ins and tick $\"Вкл.$\" (on): the filter is off until you do."
LangString FinishSettings ${LANG_RUSSIAN} "Настройки хранятся в файле RPX_UVDenoise.ini в папке Plugins программы Kestrova, а если Kestrova хранит настройки в профиле пользователя - в папке %APPDATA%\Kestrova\Plugins."
LangString FinishSettings ${LANG_ENGLISH} "The settings are kept in RPX_UVDenoise.ini in Kestrova's Plugins folder, or in %APPDATA%\Kestrova\Plugins when Kestrova keeps its settings in the user's profile."
LangString FinishMore ${LANG_RUSSIAN} "Подробнее - в руководстве RPX_UVDenoise-README-RU.txt в той же папке."
LangString FinishMore ${LANG_ENGLISH} "The guide, RPX_UVDenoise-README-EN.txt in the same folder, tells more."
LangString GuideName ${LANG_RUSSIAN} "RPX_UVDenoise-README-RU.txt"
LangString GuideName ${LANG_ENGLISH} "RPX_UVDenoise-README-EN.txt"
LangString UninstallText ${LANG_RUSSIAN} "Будет удалён только плагин RPX_UVDenoise (RPX_UVDenoise.dll и его руководства). Другие плагины и файл настроек RPX_UVDenoise.ini останутся на месте."
LangString UninstallText ${LANG_ENGLISH} "Only the RPX_UVDenoise plug-in is removed (RPX_UVDenoise.dll and its guides). Other plug-ins and the settings file RPX_UVDenoise.ini stay where they are."
LangString UninstallFrom ${LANG_RUSSIAN} "Папка плагина:"
LangString UninstallFrom ${LANG_ENGLISH} "Folder:"

; A Plugins folder given as Kestrova's folder stands for the folder above it, so the DLL never lands in
; Plugins\Plugins, where the host would not look.
Function TakePluginsAsItsHost
  ${GetFileName} "$INSTDIR" $0
  StrCmp $0 "Plugins" 0 done
  ${GetParent} "$INSTDIR" $INSTDIR
  done:
FunctionEnd

; $0 = 1 when $INSTDIR holds a Plugins folder or a program, as Kestrova's folder does; 0 otherwise.
Function LooksLikeHostFolder
  StrCpy $0 1
  IfFileExists "$INSTDIR\Plugins\*.*" done
  FindFirst $1 $2 "$INSTDIR\*.exe"
  FindClose $1
  StrCmp $2 "" 0 done
  StrCpy $0 0
  done:
FunctionEnd

; A silent install has no one to ask: it refuses the folder (Abort here exits with code 2).
Function .onInit
  Call TakePluginsAsItsHost
  IfSilent 0 done
  Call LooksLikeHostFolder
  StrCmp $0 1 done
  Abort
  done:
FunctionEnd

Function HostFolderLeave
  Call TakePluginsAsItsHost
  Call LooksLikeHostFolder
  StrCmp $0 1 done
  MessageBox MB_YESNO|MB_ICONEXCLAMATION|MB_DEFBUTTON2 "$(NoHostHere)" IDYES done
  Abort
  done:
FunctionEnd

; Deletes the file $R0, asking until a host that has loaded it lets go; aborts when the viewer cancels.
!macro DeleteLoadedFile un
Function ${un}DeleteLoadedFile
  retry:
  Delete "$R0"
  IfFileExists "$R0" 0 done
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileInUse)" /SD IDCANCEL IDRETRY retry
  Abort
  done:
FunctionEnd
!macroend
!insertmacro DeleteLoadedFile ""
!insertmacro DeleteLoadedFile "un."

; The copy an earlier setup put into another folder goes, so only one copy has an entry. Its settings
; file stays, and with it its Plugins folder.
Function RemoveEarlierCopy
  ReadRegStr $R1 HKLM "${UNINST_KEY}" "InstallLocation"
  StrCmp $R1 "" done
  StrCmp $R1 $INSTDIR done
  StrCpy $R0 "$R1\Plugins\RPX_UVDenoise.dll"
  Call DeleteLoadedFile
  Delete "$R1\Plugins\${UNINSTALLER}"
  Delete "$R1\Plugins\RPX_UVDenoise-README-RU.txt"
  Delete "$R1\Plugins\RPX_UVDenoise-README-EN.txt"
  RMDir "$R1\Plugins"
  done:
FunctionEnd

Section "RPX_UVDenoise"
  Call RemoveEarlierCopy
  SetOutPath "$INSTDIR\Plugins"
  ; A DLL that a running host has loaded cannot be opened for writing: ask until it can.
  StrCpy $R0 "$INSTDIR\Plugins\RPX_UVDenoise.dll"
  retry:
  IfFileExists "$R0" 0 write
  ClearErrors
  FileOpen $0 "$R0" a
  IfErrors 0 writable
  MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(FileInUse)" /SD IDCANCEL IDRETRY retry
  Abort
  writable:
  FileClose $0
  write:
  File "/oname=RPX_UVDenoise.dll" "${DLL}"
  File "/oname=RPX_UVDenoise-README-RU.txt" "${GUIDE_RU}"
  File "/oname=RPX_UVDenoise-README-EN.txt" "${GUIDE_EN}"

  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"
  SectionGetSize 0 $0
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "RPX_UVDenoise"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Plugins\${UNINSTALLER}"
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $0
  WriteRegStr HKLM "${UNINST_KEY}" "Readme" "$INSTDIR\Plugins\$(GuideName)"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller lives in the Plugins folder, so here $INSTDIR is that folder.
Section "Uninstall"
  StrCpy $R0 "$INSTDIR\RPX_UVDenoise.dll"
  Call un.DeleteLoadedFile
  Delete "$INSTDIR\RPX_UVDenoise-README-RU.txt"
  Delete "$INSTDIR\RPX_UVDenoise-README-EN.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only an empty folder goes: the viewer's settings file keeps it.
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINST_KEY}"
SectionEnd
