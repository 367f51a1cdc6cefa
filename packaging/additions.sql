# Rows wixl cannot express, added by packaging/make-packages with msibuild, one query a line.
# The feature condition applies at the first install only: an uninstall must still
# remove the Run value. The RemoveFile row deletes *.ini only when USERFILESDIR is set.
CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT NULL, `Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)
INSERT INTO `Condition` (`Feature_`, `Level`, `Condition`) VALUES ('StartWithWindows', 0, 'NOT Installed AND STARTWITHWINDOWS <> "1" AND NOT STARTEDWITHWINDOWS')
INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) VALUES ('RemoveSettingsFiles', 'UserFiles', '*.ini', 'USERFILESDIR', 2)
