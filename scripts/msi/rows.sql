# The rows of the package that wixl cannot write, one SQL statement a line (build-msi.sh runs
# each with msibuild -q, then those of the installer's options that `deploy-files --msi-rows`
# prints from the program's choice table). Custom action types: 51 sets a property; 19 fails
# the installation with a message; 3074 = 2 (an executable from the Binary table) + 1024
# (deferred: it runs in the installation script, inside the transaction) + 2048 (not
# impersonated: as LocalSystem under a deployment tool); 3106 = 34 (an executable by its path)
# + 1024 + 2048.

# INSTALL_STATISTICS=0 writes the policy value; any other value writes nothing. A component
# whose condition is false is left as it is, removal included: the removal makes it true.
UPDATE `Component` SET `Condition` = 'INSTALL_STATISTICS = "0" OR REMOVE ~= "ALL"' WHERE `Component` = 'NoInstallStatistics'

# A newer version is installed: refused, nothing changed (exit 1603). The message goes into a
# property first, which the verbose log shows under Wine too (its msiexec does not log the
# error's text).
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfDowngradeMessage', 51, 'VLPDF_REFUSED', 'A newer version of VeloraPDF is already installed (package [VLPDF_NEWER_PACKAGE]): this package, version [ProductVersion], does not replace it, and nothing was changed.')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfRefuseDowngrade', 19, '', '[VLPDF_REFUSED]')
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfDowngradeMessage', 'VLPDF_NEWER_PACKAGE AND NOT REMOVE', 29)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfRefuseDowngrade', 'VLPDF_NEWER_PACKAGE AND NOT REMOVE', 30)

# The installer's options from the public properties, in a private property that the command
# line cannot set (emptied first). A folder that ends in a backslash gets a second one, so
# that the closing quote stays a quote when the installer splits its command line. Each
# option's own actions come from the choice table (VlpdfOptNo<name> for its property = "0",
# VlpdfOpt<name> for "1", at 1303 to 1312).
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfOptReset', 51, 'VlpdfOptions', '')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfOptDir', 51, 'VlpdfOptions', '[VlpdfOptions] -d "[INSTALLDIR]"')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfOptDirRoot', 51, 'VlpdfOptions', '[VlpdfOptions] -d "[INSTALLDIR]\"')
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfOptReset', '', 1300)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfOptDir', 'INSTALLDIR AND NOT (INSTALLDIR >> "\")', 1301)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfOptDirRoot', 'INSTALLDIR >> "\"', 1302)

# Asked for nothing (a repair, or a newer package run without properties): the options the
# installation was last asked for through a package, as the package's own component saved
# them. Otherwise the installer would keep only what it inherits by itself, and a repair
# would bring back an Office add-in that the administrator had turned off.
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfOptSaved', 51, 'VlpdfOptions', '[VLPDF_SAVED_OPTIONS]')
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfOptSaved', 'NOT VlpdfOptions AND VLPDF_SAVED_OPTIONS AND NOT REMOVE', 1315)

# Where the installer's log is when its step fails, for the verbose log (VLPDF_INSTALL_LOG):
# the temporary folder of LocalSystem, which the step runs as: SystemTemp where Windows has
# it, Temp before.
CREATE TABLE `DrLocator` (`Signature_` CHAR(72) NOT NULL, `Parent` CHAR(72), `Path` CHAR(255), `Depth` SHORT PRIMARY KEY `Signature_`, `Parent`, `Path`)
INSERT INTO `DrLocator` (`Signature_`, `Parent`, `Path`, `Depth`) VALUES ('VlpdfSystemTemp', '', '[WindowsFolder]SystemTemp', 0)
INSERT INTO `AppSearch` (`Property`, `Signature_`) VALUES ('VLPDF_SYSTEM_TEMP', 'VlpdfSystemTemp')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfLogPath', 51, 'VLPDF_INSTALL_LOG', '[WindowsFolder]Temp\vlpdf-install-log.txt')
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfLogPathSystemTemp', 51, 'VLPDF_INSTALL_LOG', '[VLPDF_SYSTEM_TEMP]vlpdf-install-log.txt')
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfLogPath', 'NOT REMOVE', 1313)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfLogPathSystemTemp', 'NOT REMOVE AND VLPDF_SYSTEM_TEMP', 1314)

# The install step: the installer, silently, for all users, with the options.
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfInstall', 3074, 'VlpdfSetup', '-s -all-users[VlpdfOptions]')
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfInstall', 'NOT REMOVE', 5100)

# The uninstall step: the installed reader's uninstaller, for all users, silently. Only when
# the installation is still this package's, and not when nothing is installed any more (the
# reader's own uninstaller removed it and then this package). A newer package that replaces
# this one has upgraded the installation in place and written its own product code as the
# owner before this removal runs: the step must not take the installation away then. Windows
# says so with UPGRADINGPRODUCTCODE too; Wine's msiexec removes the older package in a
# process of its own with only REMOVE=ALL, where the owner is what tells. The last words tell
# the reader which package is being removed: it leaves the package's registration to this
# removal.
INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('VlpdfUninstall', 3106, 'TARGETDIR', '"[VLPDF_INSTALLED_DIR]\vlpdf.exe" -uninstall -all-users -silent -package-removal [ProductCode]')
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('VlpdfUninstall', 'REMOVE ~= "ALL" AND NOT UPGRADINGPRODUCTCODE AND VLPDF_INSTALLED_DIR AND (NOT VLPDF_PACKAGE_OWNER OR VLPDF_PACKAGE_OWNER = ProductCode)', 1700)

# An older package goes once the installer has upgraded the installation (InstallExecute runs
# the install step) and before this one registers itself: removing the older one may not take
# this one's registration of the upgrade code with it (Wine's msiexec deletes the code's whole
# key when a product goes), and when the install step fails, the older package is untouched.
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('InstallExecute', '', 5150)
INSERT INTO `InstallExecuteSequence` (`Action`, `Condition`, `Sequence`) VALUES ('RemoveExistingProducts', '', 5160)
