// The text table's one list: each text's name beside its three languages (Simplified
// Chinese, Traditional Chinese, English), so a name cannot drift from its text.
// TextTable.h makes the names of it and TextTable.cpp the texts; each defines
// TEXT(name, simplified, traditional, english) before including this file. A new text
// is one more entry.
//
// Spaces are part of the texts: several end in one, and the three languages of an
// entry do not always agree in that.

TEXT(txtUseTime, "使用时间 ", "使用時間 ", "Use time ")
TEXT(txtCatalogueDamaged, "配置文件被破坏！", "配置文件被破壞！",
     "The configuration file was destroyed.")
TEXT(txtOverwriteQuestion, "文件已存在,是否覆盖?", "文件已存在,是否覆蓋?",
     "File already exists. Is it covered? ")
TEXT(txtWriteError, "写入文件出错。", "寫入文件出錯。", "Error writing file.")
TEXT(txtProgrammerDetected, "检测到编程器 Korvat 2，工作状态正常。",
     "檢測到編程器 Korvat 2，工作狀態正常。",
     "The programmer Korvat 2 is detected, and the working state is normal.")
TEXT(txtConnected, "已连接", "已連接", "Connected")
TEXT(txtNotConnected, "编程器未接入", "編程器未接入", "Not connected")
TEXT(txtEraseRunning, "擦除 Flash ...", "擦除 Flash ...", "Erase Flash ...")
TEXT(txtReadRunning, "读出 Flash ...", "讀出 Flash ...", "Read Flash ...")
TEXT(txtBlankRunning, "查空 Flash ...", "查空 Flash ...", "Bank Flash ...")
TEXT(txtNotBlank, "芯片没有擦空", "芯片沒有擦空", "The chip is not empty.")
TEXT(txtVerifyRunning, "校验 Flash ...", "校驗 Flash ...", "Verify Flash ...")
TEXT(txtVerifyMismatch,
     "Flash 校验错误地址: ", "Flash 校驗錯誤地址: ", "Flash check error address:")
TEXT(txtWriteRunning, "编程 Flash ...", "編程 Flash ... ", "Write Flash ...")
TEXT(txtFileTooLong, "文件长度大于芯片容量,是否继续调入文件",
     "文件長度大於芯片容量,是否繼續調入文件",
     "File length is larger than chip capacity. Do you want to continue to transfer files?")
TEXT(txtOpenLog, "打开", "打開", "Open")
TEXT(txtReadDone, "读出完成！", "讀出完成！", "Read Complete!")
TEXT(txtEraseDone, "擦除完成！", "擦除完成！", "Erase Complete!")
TEXT(txtWriteDone, "写入完成！", "寫入完成！", "Write Complete!")
TEXT(txtVerifyDone, "校验完成！", "校驗完成！", "Verify Complete!")
TEXT(txtAutoDone, "自动编程校验通过！", "自動編程校驗通過！", "AUTO Complete!")
TEXT(txtBlankDone, "查空完成！", "查空完成！", "Bank Complete!")
TEXT(txtStop, "停止", "停止", "STOP")
TEXT(txtBulk, "批量", "批量", "BULK")
TEXT(txtUnknownId, "未知型号芯片ID =", "未知型號芯片ID =", "Unknown chip ID =")
TEXT(txtChooseCompatible, "请手动选择兼容型号。", "請手動選擇兼容型號。",
     "Please choose the compatibility type manually.")
TEXT(txtNoChip, "没有检测到芯片，请放置芯片再试！", "沒有檢測到芯片，請放置芯片再試！",
     "No chips detected, please put the chip to try again!")
TEXT(txtChipDetected, "检测到芯片：", "檢測到芯片：", "The chip was detected:")
TEXT(txtChipTypeLine, "\n\n芯片类型 ：", "\n\n芯片類型 ：", "\n\n Chip type")
TEXT(txtTypeDetected, "检测到芯片芯片类型: ", "檢測到芯片芯片類型: ", "Chip type is detected:")
TEXT(txtSelectManually, "\n\n请手动选择对应型号烧写。", "\n\n請手動選擇對應型號燒寫。",
     "\n\n Please manually select the corresponding type burn.")
// A transfer that failed or moved fewer bytes; followed by the address, "%Xh".
TEXT(txtTransferFailed, "编程器通信失败，地址: ", "編程器通信失敗，地址: ",
     "Transfer to the programmer failed at address:")
TEXT(txtEraseTimeout, "擦除超时，芯片仍然忙。", "擦除超時，芯片仍然忙。",
     "Erase timed out: the chip is still busy.")
TEXT(txtProgrammerBusy, "编程器正忙，请等待当前操作结束。", "編程器正忙，請等待當前操作結束。",
     "The programmer is busy. Wait for the current operation to end.")
TEXT(txtRangeBackwards, "结束地址小于起始地址。", "結束地址小於起始地址。",
     "The end address is before the start address.")
TEXT(txtRangeOutsideBuffer, "地址范围超出缓冲区。", "地址範圍超出緩衝區。",
     "The address range reaches past the buffer.")
// The setup block with the chip's parameters was not taken or not answered.
TEXT(txtSetupFailed, "芯片参数没有送达编程器。", "芯片參數沒有送達編程器。",
     "The chip parameters did not reach the programmer.")
// The block a chip is read into could not be allocated.
TEXT(txtReadOutOfMemory, "内存不足，无法读出芯片。", "內存不足，無法讀出芯片。",
     "Not enough memory to read the chip.")
// A file is loaded into a copy of its buffer first; the copy could not be allocated.
TEXT(txtOpenOutOfMemory, "内存不足，无法打开文件。", "內存不足，無法打開文件。",
     "Not enough memory to open the file.")
// Several files were dropped on the window (%d: how many).
TEXT(txtDroppedSeveral, "拖入了 %d 个文件，只打开了第一个。", "拖入了 %d 個文件，只打開了第一個。",
     "%d files were dropped; only the first was opened.")
// Tool tip of the checksum panel (%X: the chip's last address).
TEXT(txtChecksumTip, "芯片完整映像（FLASH 缓冲区 0 至 %Xh 字节）的 CRC-32",
     "芯片完整映像（FLASH 緩衝區 0 至 %Xh 字節）的 CRC-32",
     "CRC-32 of the chip's whole image: FLASH buffer bytes 0 to %Xh")
// The chip-identity exchange reached the programmer but a transfer failed.
TEXT(txtIdentityFailed, "读取芯片ID时编程器通信失败。", "讀取芯片ID時編程器通信失敗。",
     "Transfer to the programmer failed while reading the chip ID.")
// After the detection box: other catalogue chips with the same ID (%1, its three
// bytes), by maker and model.
TEXT(txtAlsoMatches, "同一ID（%1）还有：", "同一ID（%1）還有：", "Also matches (ID %1): ")
// A batch pass in the log: %1 its number, %2 passed so far, %3 failed so far, %4
// the step that failed.
TEXT(txtPassLine, "#%1 通过，已通过 %2，失败 %3", "#%1 通過，已通過 %2，失敗 %3",
     "#%1 PASS, %2 passed, %3 failed")
TEXT(txtFailLine, "#%1 失败（%4），已通过 %2，失败 %3", "#%1 失敗（%4），已通過 %2，失敗 %3",
     "#%1 FAIL (%4), %2 passed, %3 failed")
TEXT(txtStepErase, "擦除", "擦除", "erase")
TEXT(txtStepWrite, "编程", "編程", "write")
TEXT(txtStepVerify, "校验", "校驗", "verify")
TEXT(txtStepTransfer, "通信", "通信", "transfer")
TEXT(txtStepNotConnected, "编程器未接入", "編程器未接入", "not connected")
TEXT(txtStepNothingLoaded, "没有数据", "沒有數據", "nothing loaded")
TEXT(txtStepInterrupted, "已中断", "已中斷", "interrupted")
// The first line of a batch run: where its passes are recorded.
TEXT(txtBatchRecordFile, "批量记录文件：", "批量記錄文件：", "Batch record file: ")
TEXT(txtBatchRecordFailed, "无法写入批量记录文件，批量模式已停止：",
     "無法寫入批量記錄文件，批量模式已停止：",
     "Cannot write the batch record file; batch mode stopped: ")
// The firmware upgrade: refusals before anything is sent.
TEXT(txtFirmwareEmpty, "固件文件是空的，编程器没有重启。", "固件文件是空的，編程器沒有重啟。",
     "The firmware file is empty; the programmer was not restarted.")
TEXT(txtFirmwareTooLong,
     "固件文件太长：从偏移 0x3000 起发送的数据超出 1 MiB 映像，编程器没有重启。",
     "固件文件太長：從偏移 0x3000 起發送的數據超出 1 MiB 映像，編程器沒有重啟。",
     "The firmware file is too long: the data sent from offset 0x3000 would pass the 1 MiB "
     "image; the programmer was not restarted.")
TEXT(txtNoBootLoader, "没有找到编程器的引导程序，固件没有发送。",
     "沒有找到編程器的引導程序，固件沒有發送。",
     "The programmer's boot loader did not appear; no firmware was sent.")
// The step of the upgrade that failed (%1: the boot-loader command).
TEXT(txtReportNotWritten, "%1 报告写入失败", "%1 報告寫入失敗",
     "the %1 report could not be written")
TEXT(txtNoReportReply, "%1 没有应答", "%1 沒有應答", "no answer to %1")
TEXT(txtPageSizeZero, "引导程序报告页大小为 0：升级已停止，编程器以原来的固件重新启动。",
     "引導程序報告頁大小為 0：升級已停止，編程器以原來的固件重新啟動。",
     "The boot loader reported a page size of 0: the upgrade was stopped and the programmer "
     "restarts on its old firmware.")
// %1: the step that failed, %2: firmware bytes sent before it.
TEXT(txtUpgradeFailed, "固件升级失败：%1，已发送 %2 字节。", "固件升級失敗：%1，已發送 %2 字節。",
     "Firmware upgrade failed: %1; %2 bytes were sent.")
// %1: firmware bytes sent, %2: the load address, %3: the firmware version the
// programmer reports after it came back.
TEXT(txtUpgradeDone, "固件升级完成：%1 字节已发送到地址 %2，编程器已重新连接，固件版本 %3。",
     "固件升級完成：%1 字節已發送到地址 %2，編程器已重新連接，固件版本 %3。",
     "Firmware upgrade complete: %1 bytes sent to address %2; the programmer is back with "
     "firmware %3.")
// The programmer was opened but the CMD_GET_INFO exchange failed.
TEXT(txtInfoFailed, "读取硬件信息时编程器通信失败。", "讀取硬件信息時編程器通信失敗。",
     "Transfer to the programmer failed while reading the hardware information.")
// Before a command reaches the chip, the socket holds another chip than the one
// selected: %1 what it answers (one of the next three texts), %2 the chip selected
// (one of the two after them).
TEXT(txtWrongChip, "插座里的芯片不是所选的芯片：它的应答是%1；所选的芯片是%2。",
     "插座裡的芯片不是所選的芯片：它的應答是%1；所選的芯片是%2。",
     "The chip in the socket is not the chip selected: it answers %1; the chip selected is "
     "%2.")
// %1 the ID in six hexadecimal digits, %2 the catalogue models that carry it.
TEXT(txtAnswerId, "ID %1（%2）", "ID %1（%2）", "ID %1 (%2)")
TEXT(txtNoChipWithId, "目录中没有这个ID的芯片", "目錄中沒有這個ID的芯片",
     "no catalogue chip has it")
// A chip found without an ID; %1 the chip type its type code selects.
TEXT(txtAnswerType, "类型 %1 的芯片", "類型 %1 的芯片", "a chip of type %1")
// %1 the model, %2 its ID in six hexadecimal digits.
TEXT(txtSelectedWithId, "%1，ID %2", "%1，ID %2", "%1, ID %2")
// %1 the model, %2 its chip type.
TEXT(txtSelectedWithoutId, "%1（%2，没有ID）", "%1（%2，沒有ID）", "%1 (%2, without an ID)")
// After the text above, in the window: the person may go on with a compatible part.
TEXT(txtGoOnAnyway, "\n\n仍然用这个芯片继续吗？", "\n\n仍然用這個芯片繼續嗎？",
     "\n\nGo on with this chip anyway?")
TEXT(txtNoChipSelected, "没有选择芯片，请先在列表中选择芯片。",
     "沒有選擇芯片，請先在列表中選擇芯片。",
     "No chip is selected. Choose the chip in the lists first.")
// %1 the record's capacity in bytes.
TEXT(txtCapacityUnusable, "所选芯片的容量 %1 字节无法操作：容量须为 1 字节至 64 MiB。",
     "所選芯片的容量 %1 字節無法操作：容量須為 1 字節至 64 MiB。",
     "The chip's capacity of %1 bytes cannot be worked on: it must be 1 byte to 64 MiB.")
// %1 the chip's last address, "%Xh".
TEXT(txtRangeOutsideChip, "地址范围超出芯片：芯片的最后地址是 %1。",
     "地址範圍超出芯片：芯片的最後地址是 %1。",
     "The address range reaches past the chip: its last address is %1.")
// After the text of a range that runs backwards; %1 as above.
TEXT(txtChipLastAddress, "芯片的最后地址是 %1。", "芯片的最後地址是 %1。",
     " The chip's last address is %1.")
TEXT(txtStepWrongChip, "芯片不符", "芯片不符", "wrong chip")
TEXT(txtStepNoChip, "没有芯片", "沒有芯片", "no chip")
// Files
// %1 the path: a named pipe, a device or a folder, which is never read.
TEXT(txtNotRegularFile, "%1 不是普通文件（可能是管道、设备或文件夹），没有打开。",
     "%1 不是普通檔案（可能是管道、裝置或資料夾），沒有開啟。",
     "%1 is not an ordinary file (it may be a pipe, a device or a folder) and was not opened.")
// Batch mode: passes without a verify. A pass whose steps all succeeded without a
// verify (%1 to %3 as in the pass line, %5 such passes so far).
TEXT(txtUnverifiedLine, "#%1 未校验，已通过 %2，失败 %3，未校验 %5",
     "#%1 未校驗，已通過 %2，失敗 %3，未校驗 %5",
     "#%1 NOT VERIFIED, %2 passed, %3 failed, %5 not verified")
TEXT(txtBatchNoSteps, "批量模式没有启动：自动编程选项中没有勾选任何步骤（擦除、编程、校验）。",
     "批量模式沒有啟動：自動編程選項中沒有勾選任何步驟（擦除、編程、校驗）。",
     "Batch mode did not start: no step of the Auto Options (Erase, Program, Verify) is "
     "ticked.")
// Firmware upgrade. %1: the file's length in bytes.
TEXT(txtFirmwareTooShort,
     "固件文件只有 %1 字节：发送的固件从文件偏移 "
     "0x3000（12288）开始，文件必须比它长。编程器没有重启。",
     "固件文件只有 %1 字節：發送的固件從文件偏移 "
     "0x3000（12288）開始，文件必須比它長。編程器沒有重啟。",
     "The firmware file holds only %1 bytes: the firmware sent starts at offset 0x3000 "
     "(12288) of the file, so the file must be longer than that. The programmer was not "
     "restarted.")
// %1: pages the file needs, %2: the page size they were counted in.
TEXT(txtFirmwareTooManyPages,
     "固件文件需要 %1 个 %2 字节的页，引导程序最多接受 255 页。编程器没有重启。",
     "固件文件需要 %1 個 %2 字節的頁，引導程序最多接受 255 頁。編程器沒有重啟。",
     "The firmware file needs %1 pages of %2 bytes; the boot loader takes at most 255. The "
     "programmer was not restarted.")
// The same with the page size the boot loader reported, before anything was erased.
TEXT(txtBootLoaderTooManyPages,
     "引导程序的页大小为 %2 字节：固件需要 %1 页，超过它接受的 255 "
     "页。升级已停止，编程器以原来的固件重新启动。",
     "引導程序的頁大小為 %2 字節：固件需要 %1 頁，超過它接受的 255 "
     "頁。升級已停止，編程器以原來的固件重新啟動。",
     "The boot loader's pages are %2 bytes: the firmware needs %1 of them, more than the 255 "
     "it takes. The upgrade was stopped and the programmer restarts on its old firmware.")
// Before the restart. %1: the file, %2: its length in bytes, %3: the firmware version
// the programmer reports now (or the next text).
TEXT(txtAskUpgrade,
     "用 %1（%2 "
     "字节）升级编程器的固件吗？\n当前固件版本：%3\n编程器将重启进入引导程序，固件将被替换。"
     "升级完成之前请不要拔下编程器。",
     "用 %1（%2 "
     "字節）升級編程器的固件嗎？\n當前固件版本：%3\n編程器將重啟進入引導程序，固件將被替換。"
     "升級完成之前請不要拔下編程器。",
     "Upgrade the programmer's firmware with %1 (%2 bytes)?\nFirmware now: %3\nThe programmer "
     "restarts into its boot loader and its firmware is replaced. Do not unplug the "
     "programmer until the upgrade is complete.")
TEXT(txtVersionUnknown, "未知（编程器没有应答，可能处于引导程序中）",
     "未知（編程器沒有應答，可能處於引導程序中）",
     "unknown (the programmer did not answer; it may be in its boot loader)")
TEXT(txtProgrammerNotBack,
     "固件已发送，但编程器没有重新出现。请拔下编程器再重新插上。如果它仍然没有出现，请再次升级固件"
     "："
     "升级会找到仍处于引导程序中的编程器。",
     "固件已發送，但編程器沒有重新出現。請拔下編程器再重新插上。如果它仍然沒有出現，請再次升級固件"
     "："
     "升級會找到仍處於引導程序中的編程器。",
     "The firmware was sent, but the programmer did not come back. Unplug the programmer and "
     "plug it in again. If it still does not come back, run the firmware upgrade again: it "
     "finds a programmer that is still in its boot loader.")
// Erase
// Instead of the completion line where the programmer has no erase for the chip.
TEXT(txtNothingErased, "编程器对此芯片没有擦除：未擦除任何内容，写入时芯片的字节被直接替换。",
     "編程器對此芯片沒有擦除：未擦除任何內容，寫入時芯片的字節被直接替換。",
     "The programmer has no erase for this chip: nothing was erased. The chip's bytes are "
     "replaced when they are written.")
// %1 the chip's capacity in bytes.
TEXT(txtEraseUpperPartUnreached,
     "无法擦除整个芯片：编程器对 24 系列芯片的擦除只能到达前 64 KiB，而此芯片有 %1 字节。"
     "擦除被拒绝，未擦除任何内容。",
     "無法擦除整個芯片：編程器對 24 系列芯片的擦除只能到達前 64 KiB，而此芯片有 %1 字節。"
     "擦除被拒絕，未擦除任何內容。",
     "The whole chip cannot be erased: the programmer's erase of a 24-series chip reaches only "
     "the first 64 KiB, and this chip holds %1 bytes. The erase is refused; nothing was erased.")
// %1 the record's family code.
TEXT(txtEraseUnknownFamily,
     "无法擦除整个芯片：编程器不认识芯片类型代码 %1 的擦除。擦除被拒绝，未擦除任何内容。",
     "無法擦除整個芯片：編程器不認識芯片類型代碼 %1 的擦除。擦除被拒絕，未擦除任何內容。",
     "The whole chip cannot be erased: the programmer knows no erase for the chip family code "
     "%1. The erase is refused; nothing was erased.")
TEXT(txtSavedFile, "已保存 %1（%2，%3 字节，CRC-32 %4）", "已保存 %1（%2，%3 字節，CRC-32 %4）",
     "Saved %1 (%2, %3 bytes, CRC-32 %4)")
TEXT(txtFormatRaw, "二进制", "二進制", "binary")
TEXT(txtFormatIntelHex, "Intel HEX", "Intel HEX", "Intel HEX")
TEXT(txtFormatSRecord, "S-record", "S-record", "S-record")
// Firmware upgrade waits: the connection panel while the programmer is away, and what
// the progress bar says while it counts the tries of a wait.
TEXT(txtInBootLoader, "引导程序中", "引導程序中", "In boot loader")
TEXT(txtProgrammerRestarting, "编程器重启中", "編程器重啟中", "Restarting")
TEXT(txtWaitingForBootLoader, "等待编程器的引导程序出现...", "等待編程器的引導程序出現...",
     "Waiting for the programmer's boot loader...")
TEXT(txtWaitingForReturn, "等待编程器重新出现...", "等待編程器重新出現...",
     "Waiting for the programmer to come back...")
// Stop, and what a command that was stopped or failed leaves behind
TEXT(txtToolStop, "中止", "中止", "Abort")
TEXT(txtAskStopToClose,
     "操作正在进行。停止它并关闭窗口吗？\n\n正在擦除或写入的芯片停止后只被部分擦除或写入。",
     "操作正在進行。停止它並關閉窗口嗎？\n\n正在擦除或寫入的芯片停止後只被部分擦除或寫入。",
     "An operation is running. Stop it and close the window?\n\nA chip being erased or "
     "written is left partly erased or written when stopped.")
TEXT(txtStoppedBeforeStart, "已停止：操作尚未开始，芯片没有被改动。",
     "已停止：操作尚未開始，芯片沒有被改動。",
     "Stopped before the operation began: the chip was not changed.")
// A whole-chip erase has no address to stop at.
TEXT(txtStoppedErasing, "擦除已停止：芯片可能只擦除了一部分。", "擦除已停止：芯片可能只擦除了一部分。",
     "The erase was stopped: the chip may be only partly erased.")
// %1: the first chip address the command had not yet erased, read, written or compared.
TEXT(txtStoppedErase, "擦除在地址 %1 处停止：芯片现在只擦除了一部分。",
     "擦除在地址 %1 處停止：芯片現在只擦除了一部分。",
     "The erase stopped at address %1: the chip is now partly erased.")
TEXT(txtStoppedRead, "读出在地址 %1 处停止：缓冲区保持原样。", "讀出在地址 %1 處停止：緩衝區保持原樣。",
     "The read stopped at address %1: the buffer was left as it was.")
TEXT(txtStoppedBlank, "查空在地址 %1 处停止：芯片是否为空未知。", "查空在地址 %1 處停止：芯片是否為空未知。",
     "The blank check stopped at address %1: whether the chip is empty is not known.")
TEXT(txtStoppedWrite, "编程在地址 %1 处停止：芯片现在只写入了一部分。",
     "編程在地址 %1 處停止：芯片現在只寫入了一部分。",
     "The write stopped at address %1: the chip is now partly written.")
TEXT(txtStoppedVerify, "校验在地址 %1 处停止：芯片没有经过校验。", "校驗在地址 %1 處停止：芯片沒有經過校驗。",
     "The verify stopped at address %1: the chip was not verified.")
// %1 address, %2 the buffer's byte, %3 the chip's, %4 how many of the %5 bytes compared in
// that transfer differ.
TEXT(txtVerifyMismatchDetail, "地址 %1：应为 %2，读出 %3；本次传输比较的 %5 个字节中有 %4 个不同。",
     "地址 %1：應為 %2，讀出 %3；本次傳輸比較的 %5 個字節中有 %4 個不同。",
     "At address %1 expected %2, read %3; %4 of the %5 bytes compared in this transfer differ.")
// After the completion line of a write to a chip whose writes only clear bits.
TEXT(txtWriteDoesNotErase,
     "写入不会擦除芯片：芯片中已为 0 的位仍为 0。请用校验或自动编程确认结果。",
     "寫入不會擦除芯片：芯片中已為 0 的位仍為 0。請用校驗或自動編程確認結果。",
     "A write does not erase: bits the chip already holds as 0 stay 0. Verify or Auto proves "
     "the result.")
// The open dialog's first filter: every file of a kind the loader knows.
TEXT(txtSupportedFiles, "所有支持的文件", "所有支持的文件", "All supported files")
// The operation menu's entries for the Detect button and the batch toggle.
TEXT(txtMenuDetect, "检测(&D)", "檢測(&D)", "Detect(&D)")
TEXT(txtMenuBulk, "批量(&T)", "批量(&T)", "Batch(&T)")
// Batch mode at a glance, in the status bar: %1 what the socket waits for (one of the
// next three texts), %2 passed so far, %3 failed so far; in a run without a verify %4
// the passes not verified in place of the passed.
TEXT(txtBatchStatus, "%1：通过 %2，失败 %3", "%1：通過 %2，失敗 %3", "%1: %2 passed, %3 failed")
TEXT(txtBatchStatusUnverified, "%1：未校验 %4，失败 %3", "%1：未校驗 %4，失敗 %3",
     "%1: %4 not verified, %3 failed")
TEXT(txtSocketInsert, "请放入芯片", "請放入芯片", "insert a chip")
TEXT(txtSocketProgramming, "正在编程", "正在編程", "programming")
TEXT(txtSocketRemove, "请取出芯片", "請取出芯片", "remove the chip")
// The step of a failed pass of an EEPROM chip, in the pass line.
TEXT(txtStepEraseEeprom, "擦除 EEPROM", "擦除 EEPROM", "erase EEPROM")
TEXT(txtStepWriteEeprom, "编程 EEPROM", "編程 EEPROM", "write EEPROM")
TEXT(txtStepVerifyEeprom, "校验 EEPROM", "校驗 EEPROM", "verify EEPROM")
// The chip editor's save and its CSV files. A grid row the catalogue file cannot hold:
// %1 the row, %2 the column, %3 what is wrong (one of the texts after it).
TEXT(txtRowProblem, "第 %1 行，“%2”列：%3", "第 %1 行，「%2」列：%3", "Row %1, column %2: %3")
// %1 the name text, %2 one of the five texts after it.
TEXT(txtNameCannotHold, "名称“%1”不能含有%2。", "名稱「%1」不能含有%2。",
     "the name \"%1\" cannot hold a %2.")
TEXT(txtNameZeroByte, "零字节", "零字節", "zero byte")
TEXT(txtNameControlCharacter, "控制字符", "控制字符", "control character")
TEXT(txtNameBlank, "空格", "空格", "blank")
TEXT(txtNameCommaHere, "此处的逗号", "此處的逗號", "comma here")
TEXT(txtNameDoubleQuote, "双引号", "雙引號", "double quote")
TEXT(txtNameNotStorable, "名称“%1”含有无法保存的字符。", "名稱「%1」含有無法保存的字符。",
     "the name \"%1\" holds characters that cannot be stored.")
// %2 the most bytes a name text holds.
TEXT(txtNameTooLong, "名称“%1”超过 %2 字节。", "名稱「%1」超過 %2 字節。",
     "the name \"%1\" is longer than %2 bytes.")
// %1 the cell, %2 the largest value it may hold.
TEXT(txtValueOutsideField, "%1 超出字段的范围（0 至 %2）。", "%1 超出字段的範圍（0 至 %2）。",
     "%1 does not fit the field (0 to %2).")
TEXT(txtValueOutsideBuffer, "%1 超出 64 MiB 的 FLASH 缓冲区（0 至 %2）。",
     "%1 超出 64 MiB 的 FLASH 緩衝區（0 至 %2）。",
     "%1 does not fit the 64 MiB FLASH buffer (0 to %2).")
TEXT(txtCatalogueFull, "目录最多容纳 %1 个芯片。", "目錄最多容納 %1 個芯片。",
     "The catalogue holds at most %1 chips.")
// A CSV file's problem: %1 the line, %2 what is wrong there.
TEXT(txtCsvLineProblem, "第 %1 行：%2", "第 %1 行：%2", "line %1: %2")
// %1 the line, %2 the column's name in the header, %3 what is wrong.
TEXT(txtCsvCellProblem, "第 %1 行，%2 列：%3", "第 %1 行，%2 列：%3", "line %1, column %2: %3")
TEXT(txtCsvNotAnInteger, "“%1”不是有效的整数", "「%1」不是有效的整數",
     "'%1' is not a valid integer value")
TEXT(txtCsvHeader, "表头必须是 %1", "表頭必須是 %1", "the header must read %1")
TEXT(txtCsvQuoteOpen, "引号括起的单元格没有在应有的位置结束",
     "引號括起的單元格沒有在應有的位置結束", "a quoted cell is not closed where it should be")
TEXT(txtCsvCellCount, "有 %1 个单元格，应为 %2 个", "有 %1 個單元格，應為 %2 個",
     "%1 cells, not %2")
TEXT(txtCsvTooManyChips, "芯片多于目录的容量（%1）", "芯片多於目錄的容量（%1）",
     "more chips than the catalogue holds (%1)")
TEXT(txtCsvFileTooLarge, "文件大于目录文本可能的大小（%1 MiB）",
     "文件大於目錄文本可能的大小（%1 MiB）",
     "the file is larger than a catalogue's could be (%1 MiB)")
TEXT(txtCsvCannotOpen, "无法打开文件 %1", "無法打開文件 %1", "Cannot open file %1")
TEXT(txtCsvCannotCreate, "无法创建文件 %1", "無法創建文件 %1", "Cannot create file %1")
// %1 the file, %2 its problem.
TEXT(txtCsvFileProblem, "%1：%2", "%1：%2", "%1: %2")
// %1 the file, %2 its chips, %3 the grid's, %4 the most the catalogue holds.
TEXT(txtCsvImportTooMany, "%1：其中的 %2 个芯片加上表格中的 %3 个，超过目录的容量（%4）",
     "%1：其中的 %2 個芯片加上表格中的 %3 個，超過目錄的容量（%4）",
     "%1: its %2 chips and the grid's %3 are more than the catalogue holds (%4)")
// The editor's Delete with several rows highlighted (%1 how many).
TEXT(txtDeleteRows, "删除选中的 %1 行吗？", "刪除選中的 %1 行嗎？", "Delete the %1 selected rows?")
TEXT(txtEditOneRow, "编辑只写入一行：请只选中一行。", "編輯只寫入一行：請只選中一行。",
     "Edit writes one row: select only one.")
// A device with the programmer's USB ids that the user may not open (its device node's
// permissions), and what gives access to it.
TEXT(txtProgrammerNoAccess, "编程器已接入，但没有权限打开它。", "編程器已接入，但沒有權限打開它。",
     "The programmer is attached but cannot be opened: no permission.")
TEXT(txtNoAccessHint,
     "udev 规则 70-korvat.rules 让座席上登录的用户和 plugdev 组的成员使用编程器"
     "（sudo usermod -aG plugdev 用户名，然后重新登录）。",
     "udev 規則 70-korvat.rules 讓座席上登入的使用者和 plugdev 群組的成員使用編程器"
     "（sudo usermod -aG plugdev 使用者名稱，然後重新登入）。",
     "The udev rule 70-korvat.rules gives access to the user at the seat and to the plugdev "
     "group (sudo usermod -aG plugdev USER, then log in again).")
// The start-up's log line when no installed font draws the Chinese captions.
TEXT(txtNoChineseFont, "没有能显示中文的字体，程序以英文启动。安装中文字体（如 fonts-noto-cjk）后可选用中文。",
     "沒有能顯示中文的字型，程式以英文啟動。安裝中文字型（如 fonts-noto-cjk）後可選用中文。",
     "No installed font shows Chinese, so the program starts in English. Install a Chinese font (fonts-noto-cjk, for example) to use Chinese.")
// The catalogue writer's and reader's refusals of values the editor's lists do not offer.
// %1 the cell, %2 the largest page.
TEXT(txtPageNotListed, "%1 不是页面大小（不大于 %2 的 2 的幂）。",
     "%1 不是頁面大小（不大於 %2 的 2 的冪）。", "%1 is not a page size (a power of two up to %2).")
// %1 the cell, %2 the largest family code.
TEXT(txtFamilyNotKnown, "%1 不是芯片类型代码（0 至 %2）。", "%1 不是芯片類型代碼（0 至 %2）。",
     "%1 is not a family code (0 to %2).")
// %1 the cell, %2 the family code.
TEXT(txtSubtypeNotListed, "%1 不是类型 %2 的子类型代码。", "%1 不是類型 %2 的子類型代碼。",
     "%1 is not a sub-type code of family %2.")
// After the damaged text: %1 the damaged file's new name, %2 the user's catalogue.
TEXT(txtCatalogueSetAside, "已将其改名为 %1，%2 现为安装的默认芯片目录。",
     "已將其改名為 %1，%2 現為安裝的預設芯片目錄。",
     "It was renamed to %1, and %2 now holds the installed default catalogue.")
// Once per installed catalogue: %1 the installed one, %2 the user's edited copy.
TEXT(txtNewerDefaultCatalogue,
     "已安装更新的默认芯片目录 %1；您编辑过的 %2 保持不变。运行 korvat-cli catalogue merge "
     "可加入其中新增的芯片。",
     "已安裝更新的預設芯片目錄 %1；您編輯過的 %2 保持不變。執行 korvat-cli catalogue merge "
     "可加入其中新增的芯片。",
     "A newer default catalogue is installed (%1); your edited %2 is kept. "
     "korvat-cli catalogue merge adds the chips it lacks.")
// korvat-cli catalogue merge: %1 a chip (type/maker/model); %2 how many, %3 the file.
TEXT(txtMergeAdded, "已加入：%1", "已加入：%1", "added: %1")
TEXT(txtMergeDone, "%1 个芯片已加入 %2", "%1 個芯片已加入 %2", "%1 chips added to %2")
