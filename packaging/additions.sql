# Rows wixl cannot express, added by packaging/make-packages with msibuild, one query a line.
# The feature condition applies at the first install only: an uninstall must still
# remove the Run value. The RemoveFile row deletes *.ini only when USERFILESDIR is set.
# wixl writes the upgrade row without IncludeMaximum (attributes 256, the minimum only). The
# attributes are part of the row's key, so the row is written anew with 768, both ends of the
# range: a package of the same version (the other width, another build) then replaces the
# installed one too. The upgrade code is quellbar.wxs's; @VERSION@ is the package's version.
CREATE TABLE `Condition` (`Feature_` CHAR(38) NOT NULL, `Level` SHORT NOT NULL, `Condition` CHAR(255) PRIMARY KEY `Feature_`, `Level`)
INSERT INTO `Condition` (`Feature_`, `Level`, `Condition`) VALUES ('StartWithWindows', 0, 'NOT Installed AND STARTWITHWINDOWS <> "1" AND NOT STARTEDWITHWINDOWS')
INSERT INTO `RemoveFile` (`FileKey`, `Component_`, `FileName`, `DirProperty`, `InstallMode`) VALUES ('RemoveSettingsFiles', 'UserFiles', '*.ini', 'USERFILESDIR', 2)
DELETE FROM `Upgrade` WHERE `ActionProperty` = 'OLDERQUELLBAR'
INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMin`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('{6A0E2B51-3C47-4E8D-9F61-2B7D0C5A9E13}', '0.0.0', '@VERSION@', 768, 'OLDERQUELLBAR')
