; The setup program: puts RPX_UVDenoise.dll, its guides and its licence into the Plugins folder of a
; Kestrova installation and registers an uninstaller. The viewer's settings file beside the DLL is never
; touched.
; Built by scripts/release.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.2 -DDLL=<path> -DGUIDE_RU=<path> -DGUIDE_EN=<path>
;            -DLICENSE=<path> -DICON=<path> -DOUTFILE=<path> setup.nsi
; $INSTDIR is Kestrova's folder; a Plugins folder chosen in its place stands for the folder above it,
; whether typed, browsed to or given with /D=. Silent install (/S /D=<folder>) refuses, with exit code 2,
; a folder that holds neither a Plugins folder nor a program: there the host would never find the plug-in.

Unicode true
SetCompressor /SOLID lzma
RequestExecutionLevel admin

!include "MUI2.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"

!define UNINST_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\RPX_UVDenoise"
; Named after the plug-in: the host's own uninstaller may well be called uninst.exe.
!define UNINSTALLER "RPX_UVDenoise-uninstall.exe"
!define PUBLISHER "RPX_UVDenoise developers"
; The folder page's edit box, and the uninstaller's box that shows its folder.
!define FOLDER_BOX 1019
!define UNINSTALL_FOLDER_BOX 1000

Name "RPX_UVDenoise ${VERSION}"
OutFile "${OUTFILE}"
; The trailing backslash keeps Browse from appending "Kestrova" to whatever folder the viewer picks.
InstallDir "$PROGRAMFILES\Kestrova\"
InstallDirRegKey HKLM "${UNINST_KEY}" "InstallLocation"
BrandingText "RPX_UVDenoise ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "RPX_UVDenoise"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "RPX_UVDenoise ${VERSION} setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (c) 2026 ${PUBLISHER}, MIT licence"

; Set by the install section for the finish page.
Var EarlierFolder
Var TwoCopiesNote
Var SettingsNote

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!define MUI_PAGE_HEADER_TEXT "$(HostFolderTitle)"
!define MUI_PAGE_HEADER_SUBTEXT "$(HostFolderSubtitle)"
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(HostFolderText)"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "$(HostFolderLabel)"
!define MUI_PAGE_CUSTOMFUNCTION_PRE ResolveHostFolder
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ShowHostFolder
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE HostFolderLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT_LARGE
; Paths stand on lines of their own, so that the page never breaks one.
!define MUI_FINISHPAGE_TEXT "$(FinishInstalled)$\r$\n$\r$\n$TwoCopiesNote$(FinishTurnOn)$SettingsNote"
!insertmacro MUI_PAGE_FINISH
!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(UninstallText)"
!define MUI_UNCONFIRMPAGE_TEXT_LOCATION "$(UninstallFrom)"
!define MUI_PAGE_CUSTOMFUNCTION_SHOW un.ShowPluginsFolder
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
LangString ^DirBrowseText ${LANG_RUSSIAN} "Выберите папку, в которой установлена программа Kestrova, или её папку Plugins:"
LangString ^DirBrowseText ${LANG_ENGLISH} "Choose the folder Kestrova is installed in, or its Plugins folder:"
LangString NoHostHere ${LANG_RUSSIAN} "В папке$\r$\n$INSTDIR$\r$\nнет ни папки Plugins, ни программы. Похоже, Kestrova установлена не здесь, и отсюда она плагин не загрузит.$\r$\n$\r$\nВсё равно установить плагин сюда?"
LangString NoHostHere ${LANG_ENGLISH} "The folder$\r$\n$INSTDIR$\r$\nholds neither a Plugins folder nor a program. Kestrova does not seem to be installed here, and would not load the plug-in from it.$\r$\n$\r$\nInstall the plug-in here anyway?"
LangString FileInUse ${LANG_RUSSIAN} "Файл $R0 занят: вероятно, программа Kestrova запущена.$\r$\n$\r$\nЗакройте Kestrova и нажмите $\"Повтор$\"."
LangString FileInUse ${LANG_ENGLISH} "$R0 is in use: Kestrova is probably running.$\r$\n$\r$\nClose Kestrova and press Retry."
LangString EntryName ${LANG_RUSSIAN} "RPX_UVDenoise — плагин для Kestrova"
LangString EntryName ${LANG_ENGLISH} "RPX_UVDenoise — plug-in for Kestrova"
; The finish page's words on turning the filter on and on the settings stand word for word in the guides.
LangString FinishInstalled ${LANG_RUSSIAN} "Плагин RPX_UVDenoise установлен в папку$\r$\n$INSTDIR\Plugins$\r$\nвместе с руководством RPX_UVDenoise-README-RU.txt."
LangString FinishInstalled ${LANG_ENGLISH} "RPX_UVDenoise is installed in$\r$\n$INSTDIR\Plugins$\r$\nwith its guide, RPX_UVDenoise-README-EN.txt."
LangString FinishTwoCopies ${LANG_RUSSIAN} "Прежняя копия плагина осталась в папке$\r$\n$EarlierFolder\Plugins$\r$\nтак как в выбранной папке нет Kestrova: теперь копий две, и Kestrova загружает только ту, что лежит в её собственной папке Plugins."
LangString FinishTwoCopies ${LANG_ENGLISH} "The earlier copy of the plug-in stays in$\r$\n$EarlierFolder\Plugins$\r$\nas the folder chosen does not hold Kestrova: there are now two copies, and Kestrova loads only the one in its own Plugins folder."
LangString FinishTurnOn ${LANG_RUSSIAN} "Чтобы включить фильтр, запустите Kestrova, откройте из списка плагинов $\"Уменьшение цветового шума$\" и отметьте флажок $\"Вкл.$\": до этого фильтр выключен."
LangString FinishTurnOn ${LANG_ENGLISH} "To turn the filter on, start Kestrova, open $\"Уменьшение цветового шума$\" (colour noise reduction) from its list of plug-ins and tick $\"Вкл.$\" (on): the filter is off until you do."
LangString FinishSettings ${LANG_RUSSIAN} "Файл настроек RPX_UVDenoise.ini хранится в папке Plugins программы Kestrova, а если Kestrova хранит настройки в профиле пользователя — в папке$\r$\n%APPDATA%\Kestrova\Plugins.$\r$\nЕсли Kestrova установлена в Program Files, Windows Vista и новее обычно хранят его в папке VirtualStore профиля пользователя."
LangString FinishSettings ${LANG_ENGLISH} "The settings file RPX_UVDenoise.ini is kept in Kestrova's Plugins folder, or in$\r$\n%APPDATA%\Kestrova\Plugins$\r$\nwhen Kestrova keeps its settings in the user's profile. With Kestrova in Program Files, Windows Vista and later usually keep it in the VirtualStore folder of the user's profile."
LangString GuideName ${LANG_RUSSIAN} "RPX_UVDenoise-README-RU.txt"
LangString GuideName ${LANG_ENGLISH} "RPX_UVDenoise-README-EN.txt"
LangString UninstallText ${LANG_RUSSIAN} "Будет удалён только плагин RPX_UVDenoise (RPX_UVDenoise.dll, его руководства и файл лицензии). Другие плагины и файл настроек RPX_UVDenoise.ini останутся на месте."
LangString UninstallText ${LANG_ENGLISH} "Only the RPX_UVDenoise plug-in is removed (RPX_UVDenoise.dll, its guides and its licence file). Other plug-ins and the settings file RPX_UVDenoise.ini stay where they are."
LangString UninstallFrom ${LANG_RUSSIAN} "Папка плагина:"
LangString UninstallFrom ${LANG_ENGLISH} "Folder:"

; Kestrova's folder from whatever names it: trailing backslashes go, and a Plugins folder stands for the
; folder above it, so the DLL never lands in Plugins\Plugins, where the host would not look.
Function ResolveHostFolder
  trim:
  StrLen $0 $INSTDIR
  IntCmp $0 3 plugins plugins  ; a drive's root keeps its backslash
  StrCpy $0 $INSTDIR "" -1
  StrCmp $0 "\" 0 plugins
  StrCpy $INSTDIR $INSTDIR -1
  Goto trim
  plugins:
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
  Call ResolveHostFolder
  IfSilent 0 done
  Call LooksLikeHostFolder
  StrCmp $0 1 done
  Abort
  done:
FunctionEnd

; The folder page's box shows $INSTDIR as it is (the page itself would add a backslash).
Function ShowHostFolder
  FindWindow $1 "#32770" "" $HWNDPARENT
  GetDlgItem $1 $1 ${FOLDER_BOX}
  SendMessage $1 ${WM_SETTEXT} 0 "STR:$INSTDIR"
FunctionEnd

Function HostFolderLeave
  Call ResolveHostFolder
  ; Once this function returns, the page copies its box into $INSTDIR: the box must show the result.
  Call ShowHostFolder
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

; The copy an earlier setup put into $EarlierFolder goes, so only one copy has an entry. Its settings
; file stays, and its Plugins folder too unless that setup created it ($R2 = 1).
Function RemoveEarlierCopy
  StrCpy $R0 "$EarlierFolder\Plugins\RPX_UVDenoise.dll"
  Call DeleteLoadedFile
  Delete "$EarlierFolder\Plugins\${UNINSTALLER}"
  Delete "$EarlierFolder\Plugins\RPX_UVDenoise-README-RU.txt"
  Delete "$EarlierFolder\Plugins\RPX_UVDenoise-README-EN.txt"
  Delete "$EarlierFolder\Plugins\RPX_UVDenoise-LICENSE.txt"
  StrCmp $R2 1 0 done
  RMDir "$EarlierFolder\Plugins"
  done:
FunctionEnd

; Adds the size of the file to $R3 (bytes).
!macro AddFileSize file
  FileOpen $1 "${file}" r
  FileSeek $1 0 END $2
  FileClose $1
  IntOp $R3 $R3 + $2
!macroend

Section "RPX_UVDenoise"
  ; Whichever page or switch set $INSTDIR, the folder rules hold here.
  Call ResolveHostFolder
  ; Asked before anything is written: afterwards the folder always holds a Plugins folder.
  Call LooksLikeHostFolder
  StrCpy $R1 $0
  ReadRegStr $EarlierFolder HKLM "${UNINST_KEY}" "InstallLocation"
  ReadRegDWORD $R2 HKLM "${UNINST_KEY}" "PluginsFolderCreated"
  StrCpy $TwoCopiesNote ""
  StrCpy $SettingsNote "$\r$\n$\r$\n$(FinishSettings)"
  StrCmp $EarlierFolder "" earlier_done
  StrCmp $EarlierFolder $INSTDIR earlier_done
  ; A folder without Kestrova, installed into only because the viewer said so, must not cost the
  ; working copy in Kestrova's own folder.
  StrCmp $R1 1 0 keep_earlier
  Call RemoveEarlierCopy
  Goto earlier_done
  keep_earlier:
  IfFileExists "$EarlierFolder\Plugins\RPX_UVDenoise.dll" 0 earlier_done
  StrCpy $TwoCopiesNote "$(FinishTwoCopies)$\r$\n$\r$\n"
  ; The page has no room for both; the guide beside the plug-in tells where the settings are.
  StrCpy $SettingsNote ""
  earlier_done:

  ; A Plugins folder that was there before belongs to Kestrova and stays when the plug-in goes; one this
  ; setup creates goes with it. Over the same folder the earlier install's mark holds.
  StrCpy $R4 1
  IfFileExists "$INSTDIR\Plugins\*.*" 0 created_known
  StrCpy $R4 0
  StrCmp $EarlierFolder $INSTDIR 0 created_known
  StrCpy $R4 $R2
  created_known:
  IntOp $R4 $R4 & 1

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
  File "/oname=RPX_UVDenoise-LICENSE.txt" "${LICENSE}"
  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"

  StrCpy $R3 0
  !insertmacro AddFileSize "$INSTDIR\Plugins\RPX_UVDenoise.dll"
  !insertmacro AddFileSize "$INSTDIR\Plugins\RPX_UVDenoise-README-RU.txt"
  !insertmacro AddFileSize "$INSTDIR\Plugins\RPX_UVDenoise-README-EN.txt"
  !insertmacro AddFileSize "$INSTDIR\Plugins\RPX_UVDenoise-LICENSE.txt"
  !insertmacro AddFileSize "$INSTDIR\Plugins\${UNINSTALLER}"
  IntOp $R3 $R3 + 1023
  IntOp $R3 $R3 / 1024
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayName" "$(EntryName)"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINST_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINST_KEY}" "DisplayIcon" "$INSTDIR\Plugins\${UNINSTALLER}"
  WriteRegDWORD HKLM "${UNINST_KEY}" "EstimatedSize" $R3
  WriteRegStr HKLM "${UNINST_KEY}" "Readme" "$INSTDIR\Plugins\$(GuideName)"
  WriteRegStr HKLM "${UNINST_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKLM "${UNINST_KEY}" "PluginsFolderCreated" $R4
  WriteRegStr HKLM "${UNINST_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINST_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINST_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller lives in the Plugins folder, so here $INSTDIR is that folder. The page would show it with
; a trailing backslash.
Function un.ShowPluginsFolder
  FindWindow $1 "#32770" "" $HWNDPARENT
  GetDlgItem $1 $1 ${UNINSTALL_FOLDER_BOX}
  SendMessage $1 ${WM_SETTEXT} 0 "STR:$INSTDIR"
FunctionEnd

Section "Uninstall"
  StrCpy $R0 "$INSTDIR\RPX_UVDenoise.dll"
  Call un.DeleteLoadedFile
  Delete "$INSTDIR\RPX_UVDenoise-README-RU.txt"
  Delete "$INSTDIR\RPX_UVDenoise-README-EN.txt"
  Delete "$INSTDIR\RPX_UVDenoise-LICENSE.txt"
  Delete "$INSTDIR\${UNINSTALLER}"
  ; The entry is this copy's only when it names this folder; a copy left beside a newer install has none.
  ReadRegStr $0 HKLM "${UNINST_KEY}" "InstallLocation"
  StrCmp "$0\Plugins" $INSTDIR 0 done
  ReadRegDWORD $1 HKLM "${UNINST_KEY}" "PluginsFolderCreated"
  DeleteRegKey HKLM "${UNINST_KEY}"
  ; Only a folder this setup created, and only when empty: the viewer's settings file keeps it.
  StrCmp $1 1 0 done
  RMDir "$INSTDIR"
  done:
SectionEnd
