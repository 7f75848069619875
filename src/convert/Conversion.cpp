// The conversion run of the main dialog: the ticked files of the list, one after another.
#include "ui/QuelvoxDlg.h"

#include "ui/resource.h"

void CQuelvoxDlg::OnConvert() {}

void CQuelvoxDlg::OnPrev() {}

void CQuelvoxDlg::ConvertNext() {}

void CQuelvoxDlg::OnConvertDone() {}

void CQuelvoxDlg::AppendLog(const wchar_t*) {}

void CQuelvoxDlg::AppendLogId(UINT) {}

void CQuelvoxDlg::StopConversion() {
    m_bConverting = false;
    m_listFiles.EnableWindow(true);
    m_btnLanguage.EnableWindow(true);
    if (m_encoder.IsRunOpen())
        m_encoder.TerminateChild();
}
